#include "ShareAreaDlg.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

#include "FWIniDatFile.h"
#include "ScreenScale.h"
#include "ToolTip.h"

namespace {

// The window is larger than the shared area by these, for the lines and the tab.
constexpr int kSide = 4;
constexpr int kTop = 14;
constexpr int kTabWidth = 80;
constexpr int kCornerZone = 10;
constexpr int kTopCornerZone = 20;
constexpr int kMark = 30;
constexpr int kMarkThickness = 4;

const QString kCfg = QStringLiteral("CFG");
const QString kShowShareInfo = QStringLiteral("showShareInfo");

Qt::CursorShape CursorForZone(int zone) {
  switch (zone) {
    case 1: return Qt::SizeAllCursor;
    case 2:
    case 7: return Qt::SizeVerCursor;
    case 3:
    case 9: return Qt::SizeFDiagCursor;
    case 4:
    case 8: return Qt::SizeBDiagCursor;
    default: return Qt::SizeHorCursor;  // 5 and 6
  }
}

QRect TabRect(int width) { return QRect((width - kTabWidth) / 2, 0, kTabWidth, kTop); }

}  // namespace

CShareAreaDlg::CShareAreaDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_tip(new CToolTip(nullptr)) {
  setAttribute(Qt::WA_TranslucentBackground);
  setMouseTracking(true);
  const float scale = screenScale();
  setMinimumSize(static_cast<int>(260 * scale), static_cast<int>(100 * scale));
  m_tip->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
}

CShareAreaDlg::~CShareAreaDlg() { delete m_tip; }

QRect CShareAreaDlg::frameRectForArea(const QRect& area) {
  return QRect(area.x() - kSide, area.y() - kTop, area.width() + 2 * kSide, area.height() + kTop + kSide);
}

QRect CShareAreaDlg::areaRectForFrame(const QRect& frame) {
  return QRect(frame.x() + kSide, frame.y() + kTop, frame.width() - 2 * kSide, frame.height() - kTop - kSide);
}

int CShareAreaDlg::hitZone(const QPoint& point, const QSize& size) {
  const int px = point.x(), py = point.y(), w = size.width(), h = size.height();
  if (px <= kCornerZone) {
    if (py < kTopCornerZone) return 3;
    if (py > h - kCornerZone) return 8;
    return 5;
  }
  if (px > w - kCornerZone) {
    if (py < kTopCornerZone) return 4;
    if (py > h - kCornerZone) return 9;
    return 6;
  }
  if (py <= kTop) {
    const int tabLeft = (w - kTabWidth) / 2;
    return px >= tabLeft && px <= tabLeft + kTabWidth ? 1 : 2;
  }
  if (py > h - kCornerZone) return 7;
  return 0;
}

QRegion CShareAreaDlg::paintedRegion(const QSize& size) {
  const int w = size.width(), h = size.height();
  QRegion region(TabRect(w));
  region += QRect(0, kTop - 1, w, 1);
  region += QRect(kSide - 1, 10, 1, h);
  region += QRect(w - kSide, 10, 1, h);
  region += QRect(0, h - kSide, w, 1);
  const QRect marks[] = {
      {0, 10, kMark, kMarkThickness},          {w - kMark, 10, kMark, kMarkThickness},
      {0, 10, kMarkThickness, kMark},          {w - kMarkThickness, 10, kMarkThickness, kMark},
      {0, h - kMark, kMarkThickness, kMark},   {w - kMarkThickness, h - kMark, kMarkThickness, kMark},
      {0, h - kMarkThickness, kMark, kMarkThickness}, {w - kMark, h - kMarkThickness, kMark, kMarkThickness},
  };
  for (const QRect& mark : marks) region += mark;
  return region;
}

void CShareAreaDlg::reject() {}  // Escape leaves the frame where it is

void CShareAreaDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(rect(), Qt::transparent);
  painter.setClipRegion(paintedRegion(size()));
  painter.fillRect(rect(), Qt::red);
  painter.setPen(Qt::white);
  painter.drawText(TabRect(width()), Qt::AlignCenter, tr("Sharing"));
}

void CShareAreaDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // Only the painted lines are the window's: the shared area inside shows
  // through, stays out of the captured picture and takes its own clicks,
  // with a compositor or without one.
  setMask(paintedRegion(size()));
}

void CShareAreaDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (FWIniDatFile::instance().getInt(kShowShareInfo, 0, kCfg) != 0) return;
  ToolTipStyle style;
  style.showTime = -1;
  style.closeOnClick = 0;
  m_tip->setTipStyle(style);
  m_tip->showTip(QPoint(x() + 5, y() + 12), tr("Here resizable."));
}

void CShareAreaDlg::hideEvent(QHideEvent* event) {
  m_tip->hide();
  QDialog::hideEvent(event);
}

void CShareAreaDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  m_pressed = true;
  m_pressPos = event->globalPos();
  m_pressedZone = hitZone(mapFromGlobal(m_pressPos), size());
  m_pressGeometry = geometry();
}

void CShareAreaDlg::mouseReleaseEvent(QMouseEvent*) { m_pressed = false; }

void CShareAreaDlg::mouseMoveEvent(QMouseEvent*) {
  const QPoint cursor = QCursor::pos();
  const int zone = hitZone(mapFromGlobal(cursor), size());
  if (zone != 0) setCursor(CursorForZone(zone));
  if (!m_pressed || m_pressedZone == 0) return;
  if (m_tip->isVisible() && m_pressedZone != 1) {
    m_tip->hide();
    FWIniDatFile::instance().setInt(kShowShareInfo, 1, kCfg);
  }
  const QPoint d = cursor - m_pressPos;
  QRect rect = m_pressGeometry;
  switch (m_pressedZone) {
    case 1: rect.translate(d); break;
    case 2: rect.setTop(rect.top() + d.y()); break;
    case 3: rect.setTopLeft(rect.topLeft() + d); break;
    case 4:
      rect.setTop(rect.top() + d.y());
      rect.setRight(rect.right() + d.x());
      break;
    case 5: rect.setLeft(rect.left() + d.x()); break;
    case 6: rect.setRight(rect.right() + d.x()); break;
    case 7: rect.setBottom(rect.bottom() + d.y()); break;
    case 8:
      rect.setLeft(rect.left() + d.x());
      rect.setBottom(rect.bottom() + d.y());
      break;
    case 9: rect.setBottomRight(rect.bottomRight() + d); break;
    default: break;
  }
  resize(rect.size());
  move(rect.topLeft());
  update();
  emit s_updateShareRt(areaRectForFrame(geometry()));
}
