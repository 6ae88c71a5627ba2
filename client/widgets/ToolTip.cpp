#include "ToolTip.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

#include "ClickedLabel.h"
#include "Translucency.h"

namespace {

QScreen* ScreenAt(const QPoint& point) {
  QScreen* screen = QGuiApplication::screenAt(point);
  return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

}  // namespace

CToolTip::CToolTip(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_label(new QClickedLabel(this)) {
  hide();
  const QPoint anchor = parent ? parent->mapToGlobal(parent->rect().center()) : QPoint();
  if (QScreen* screen = ScreenAt(anchor)) move(screen->geometry().topLeft());
  setAttribute(Qt::WA_TranslucentBackground);
  setMinimumSize(180, 100);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  m_label->setObjectName(QStringLiteral("CToolTipLabel"));
  m_label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  m_label->setWordWrap(true);
  layout->addWidget(m_label);
  connect(&m_watchTimer, &QTimer::timeout, this, &CToolTip::updateDlgPos);
  m_watchTimer.start(200);
  connect(m_label, &QClickedLabel::clicked, this, &CToolTip::slot_clicked);
  connect(&m_showTimer, &QTimer::timeout, this, &CToolTip::showTimeout);
}

CToolTip::~CToolTip() {
  m_showTimer.stop();
  m_watchTimer.stop();
}

void CToolTip::setTipStyle(const ToolTipStyle& style) { m_style = style; }

int CToolTip::labelWidthFor(int natural) {
  if (natural < 150) return 180;
  if (natural < 210) return natural;
  if (natural < 1000) return 180;
  return natural / 4;
}

void CToolTip::showTip(const QPoint& target, const QString& text) {
  m_target = target;
  m_label->setText(text);
  setUpdatesEnabled(false);
  m_label->setWordWrap(false);
  m_label->setMinimumWidth(0);
  m_label->setMaximumWidth(QWIDGETSIZE_MAX);
  m_label->adjustSize();
  const int natural = m_label->width();
  m_label->setWordWrap(true);
  setUpdatesEnabled(true);
  if (natural < 150) m_label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  m_label->setFixedWidth(labelWidthFor(natural));
  m_label->adjustSize();
  m_label->setStyleSheet(QStringLiteral("color: rgba(%1, %2, %3, %4);")
                             .arg(m_style.textColor.red())
                             .arg(m_style.textColor.green())
                             .arg(m_style.textColor.blue())
                             .arg(m_style.textColor.alpha()));
  place();
  layout()->activate();
  const bool multiLine = text.contains(QLatin1Char('\n')) ||
                         m_label->fontMetrics().horizontalAdvance(text) >= m_label->width();
  m_label->setAlignment(multiLine ? (Qt::AlignLeft | Qt::AlignVCenter) : (Qt::AlignHCenter | Qt::AlignVCenter));
  m_showTimer.setSingleShot(true);
  if (m_style.showTime >= 0) m_showTimer.start(m_style.showTime);
  if (!windowsAreTranslucent()) {
    // Without a compositor the corners would show black and take clicks.
    QBitmap shape(size());
    shape.fill(Qt::color0);
    QPainter painter(&shape);
    painter.setPen(QPen(Qt::color1, 1));
    painter.setBrush(Qt::color1);
    painter.drawPath(outline());
    painter.end();
    setMask(shape);
  } else {
    clearMask();
  }
  show();
}

void CToolTip::place() {
  const QPoint p = m_target;
  const int a = m_style.pointerSize.width();
  const int b = m_style.pointerSize.height();
  if (!m_style.pointerOn) {
    setContentsMargins(0, 0, 0, 0);
    adjustSize();
    move(p.x() - width() / 2, p.y() - height() / 2);
    return;
  }
  const QPoint centre = ScreenAt(frameGeometry().center())->geometry().center();
  const bool right = !(centre.x() < p.x());
  const bool down = !(centre.y() < p.y());
  // The margin holds the pointer. It is set before the size is taken: set
  // after, it would grow the balloon and move the tip off the point.
  setContentsMargins(0, down ? b : 0, 0, down ? 0 : b);
  adjustSize();
  const int w = width(), h = height();
  move(right ? p.x() : p.x() - w, down ? p.y() : p.y() - h);
  const QPoint tip(right ? 0 : w, down ? 0 : h);
  const int baseX = right ? tip.x() + 10 : tip.x() - (a + 10);
  const int baseY = down ? tip.y() + (b + 1) : tip.y() - (b + 1);
  m_pointer[0] = tip;
  m_pointer[1] = QPoint(baseX, baseY);
  m_pointer[2] = QPoint(baseX + a, baseY);
}

QPainterPath CToolTip::outline() const {
  QPainterPath path;
  path.addRoundedRect(QRectF(contentsRect()), 3, 3, Qt::AbsoluteSize);
  if (m_style.pointerOn) {
    QPainterPath triangle;
    triangle.moveTo(m_pointer[0]);
    triangle.lineTo(m_pointer[1]);
    triangle.lineTo(m_pointer[2]);
    triangle.closeSubpath();
    path = path.united(triangle);
  }
  return path;
}

void CToolTip::showTimeout() { close(); }

void CToolTip::updateDlgPos() {
  if (parentWidget() && !parentWidget()->isVisible()) close();
}

void CToolTip::slot_clicked() {
  if (m_style.closeOnClick) close();
}

void CToolTip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QBrush(m_style.borderColor), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(QBrush(m_style.fillColor));
  painter.drawPath(outline());
}
