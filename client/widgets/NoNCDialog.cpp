#include "NoNCDialog.h"

#include <QFrame>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include "ShadowPieces.h"
#include "SystemHelpers.h"
#include "TitleBar.h"
#include "Translucency.h"

namespace {

constexpr int kShadowMargin = 8;

QNoNCDialog::TaskbarQuery g_taskbarQuery = nullptr;

bool IsTitleBarStyleName(const QString& name) {
  return name == QLatin1String("dlgTitleBar") || name == QLatin1String("dlgTitleBarRECT") ||
         name == QLatin1String("dlgTitleBarROUND");
}

}  // namespace

QNoNCDialog::QNoNCDialog(QWidget* parent, Qt::WindowFlags flags, int shadowType)
    : QDialog(parent, flags), m_windowFlags(flags), m_frame(new QFrame(this)),
      m_cornerSize(4 + kShadowMargin), m_mainLayout(new QVBoxLayout(this)),
      m_shadowMargins(kShadowMargin, kShadowMargin, kShadowMargin, kShadowMargin), m_shadowType(shadowType) {
  setAttribute(Qt::WA_TranslucentBackground, true);
  m_mainLayout->setContentsMargins(m_shadowMargins);
  m_mainLayout->setSpacing(0);
  m_frame->setObjectName(QStringLiteral("dlgFrame"));
  m_mainLayout->addWidget(m_frame);
  m_shadowImage = QPixmap(QStringLiteral(":/Res/new/shadow_round.png"));
  updateFrameStyle();
}

void QNoNCDialog::setTaskbarQuery(TaskbarQuery query) { g_taskbarQuery = query; }

void QNoNCDialog::setTitleBar(TitleBar* bar, bool relayout) {
  m_titleBar = bar;
  updateFrameStyle();
  if (!relayout) return;
  updateLayout();
  updateWindowFlags();
}

void QNoNCDialog::setCentralWidget(QWidget* widget, bool relayout) {
  m_centralWidget = widget;
  if (widget && !widget->windowTitle().isEmpty()) setWindowTitle(widget->windowTitle());
  if (relayout) updateLayout();
}

void QNoNCDialog::setRequestFlags(bool rejectEnabled, bool acceptEnabled) {
  m_rejectEnabled = rejectEnabled;
  m_acceptEnabled = acceptEnabled;
}

void QNoNCDialog::setShadowVisible(bool visible) {
  m_shadowVisible = visible;
  m_mainLayout->setContentsMargins(visible ? m_shadowMargins : QMargins());
}

void QNoNCDialog::updateShadowMargins() {
  setShadowVisible(!isMaximized());
  // The frame's look follows the window state as the margins do.
  updateFrameStyle();
  updateMask();
}

void QNoNCDialog::updateFrameStyle() {
  const bool square = isMaximized();
  const QString oldFrame = m_frame->objectName();
  const QString oldBar = m_titleBar ? m_titleBar->objectName() : QString();
  if (square) {
    m_frame->setObjectName(QStringLiteral("dlgFrameRECT"));
    if (m_titleBar && IsTitleBarStyleName(oldBar)) m_titleBar->setObjectName(QStringLiteral("dlgTitleBarRECT"));
  } else if (m_titleBar) {
    if (IsTitleBarStyleName(oldBar)) m_titleBar->setObjectName(QStringLiteral("dlgTitleBarROUND"));
    m_frame->setObjectName(QStringLiteral("dlgFrameROUND_B"));
  } else {
    m_frame->setObjectName(QStringLiteral("dlgFrameROUND_S"));
  }
  // A style sheet of their own makes both polish again under their new names;
  // every resize comes here, so only a change of name pays for it.
  if (m_frame->objectName() != oldFrame) m_frame->setStyleSheet(QStringLiteral("#err{}"));
  if (m_titleBar && m_titleBar->objectName() != oldBar) m_titleBar->setStyleSheet(QStringLiteral("#err{}"));
}

void QNoNCDialog::updateLayout() {
  auto* layout = new QVBoxLayout;
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (m_titleBar) layout->addWidget(m_titleBar);
  if (m_centralWidget) layout->addWidget(m_centralWidget);
  else layout->addStretch();
  delete m_frame->layout();
  m_frame->setLayout(layout);
  m_frame->show();
}

void QNoNCDialog::updateWindowFlags() {
  Qt::WindowFlags flags = m_windowFlags;
  if (m_titleBar) {
    if (m_titleBar->hasButton(TitleBar::CloseFlag)) flags |= Qt::WindowCloseButtonHint;
    if (m_titleBar->hasButton(TitleBar::MinimizeFlag)) flags |= Qt::WindowMinimizeButtonHint;
    if (m_titleBar->hasButton(TitleBar::MaximizeFlag)) flags |= Qt::WindowMaximizeButtonHint;
  }
  if (flags == windowFlags()) return;
  // setWindowFlags hides a shown window; bring it back as it was.
  const bool wasVisible = isVisible();
  setWindowFlags(flags);
  if (wasVisible) show();
}

QRect QNoNCDialog::maximizeRect() {
  QScreen* screen = QGuiApplication::screenAt(frameGeometry().center());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  QRect rect = screen != nullptr ? screen->availableGeometry() : QRect();
  TaskbarInfo taskbar;
  if (g_taskbarQuery) g_taskbarQuery(taskbar);
  else GetTaskbarInfo(taskbar);
  if (!taskbar.autoHide) return rect;
  // Leave one pixel to the hidden taskbar, so the mouse can still reach it.
  switch (taskbar.edge) {
    case 0: rect.setLeft(rect.left() + 1); break;
    case 1: rect.setTop(rect.top() + 1); break;
    case 2: rect.setRight(rect.right() - 1); break;
    case 3: rect.setBottom(rect.bottom() - 1); break;
    default: break;
  }
  return rect;
}

void QNoNCDialog::requestAccept() {
  if (m_acceptEnabled) accept();
}

void QNoNCDialog::requestReject() {
  if (m_rejectEnabled) reject();
}

bool QNoNCDialog::event(QEvent* event) {
  const bool result = QDialog::event(event);
  switch (event->type()) {
    case QEvent::WindowActivate:
      QTimer::singleShot(30, this, [this] { repaint(); });
      emit s_WindowActiveChanged(true);
      break;
    case QEvent::WindowDeactivate:
      emit s_WindowActiveChanged(false);
      break;
    case QEvent::Resize:
      updateShadowMargins();
      break;
    default:
      break;
  }
  return result;
}

void QNoNCDialog::paintEvent(QPaintEvent* event) {
  if (m_shadowVisible && !m_shadowImage.isNull()) {
    QPainter painter(this);
    for (const ShadowPiece& piece : shadowPieces(size(), m_shadowImage.size(), m_cornerSize)) {
      painter.drawPixmap(piece.target, m_shadowImage, piece.source);
    }
  }
  QDialog::paintEvent(event);
}

void QNoNCDialog::closeEvent(QCloseEvent* event) {
  reject();
  // A dialog that refuses the reject stays open, so the close must not hide it either.
  if (isVisible()) event->ignore();
}

bool QNoNCDialog::nativeEvent(const QByteArray& eventType, void* message, long* result) {
  // Windows asks for the maximized size with WM_GETMINMAXINFO; X11 never does,
  // so the rectangle is applied when the window state changes instead.
  return QDialog::nativeEvent(eventType, message, result);
}

void QNoNCDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  switch (event->type()) {
    case QEvent::WindowTitleChange:
      if (m_titleBar) m_titleBar->setTitleText(windowTitle());
      break;
    case QEvent::WindowStateChange: {
      const auto* change = static_cast<QWindowStateChangeEvent*>(event);
      if (isMaximized() && !(change->oldState() & Qt::WindowMaximized)) {
        m_normalGeometry = geometry();
        applyMaximizedGeometry();
      } else if (!isMaximized() && !isMinimized() && (change->oldState() & Qt::WindowMaximized) &&
                 m_normalGeometry.isValid()) {
        setGeometry(m_normalGeometry);
      }
      if (m_titleBar) m_titleBar->updateButtons();
      updateShadowMargins();
      break;
    }
    case QEvent::WinIdChange:
      updateShadowMargins();
      break;
    default:
      break;
  }
}

void QNoNCDialog::showEvent(QShowEvent* event) {
  m_translucent = windowsAreTranslucent();
  updateMask();
  QDialog::showEvent(event);
}

void QNoNCDialog::applyMaximizedGeometry() {
  const QRect rect = maximizeRect();
  setGeometry(QRect(rect.topLeft(), QSize(std::min(rect.width(), maximumWidth()), std::min(rect.height(), maximumHeight()))));
}

void QNoNCDialog::updateMask() {
  const QMargins margins = m_mainLayout->contentsMargins();
  if (m_translucent || margins.isNull()) {
    if (!mask().isEmpty()) clearMask();
    return;
  }
  // Without a compositor the shadow margin would show black and catch clicks
  // meant for the windows below: keep only the frame.
  setMask(QRegion(rect().marginsRemoved(margins)));
}
