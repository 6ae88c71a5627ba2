#include "TitleBar.h"

#include <QAbstractButton>
#include <QMouseEvent>

#include "NoNCDialog.h"
#include "WidgetMoveHandler.h"

TitleBar::TitleBar(QWidget* window, int buttonFlags)
    : QLabel(window), m_buttonFlags(buttonFlags), m_window(window),
      m_moveHandler(new QWidgetMoveHandler(window, this)) {
  setObjectName(QStringLiteral("dlgTitleBar"));
  setFixedHeight(40);
  installEventFilter(m_moveHandler);
}

void TitleBar::setTitleIcon(const QPixmap&) {}

void TitleBar::setTitleText(const QString&) {}

void TitleBar::setButtons(QAbstractButton* close, QAbstractButton* minimize, QAbstractButton* restore,
                          QAbstractButton* maximize) {
  m_close = close;
  m_minimize = minimize;
  m_restore = restore;
  m_maximize = maximize;
  if (m_close) connect(m_close, &QAbstractButton::clicked, m_window, &QWidget::close, Qt::UniqueConnection);
  if (m_minimize) {
    connect(m_minimize, &QAbstractButton::clicked, m_window, &QWidget::showMinimized, Qt::UniqueConnection);
  }
  if (m_maximize) {
    connect(m_maximize, &QAbstractButton::clicked, m_window, &QWidget::showMaximized, Qt::UniqueConnection);
  }
  if (m_restore) connect(m_restore, &QAbstractButton::clicked, m_window, &QWidget::showNormal, Qt::UniqueConnection);
  updateButtons();
  if (auto* dialog = qobject_cast<QNoNCDialog*>(m_window)) dialog->updateWindowFlags();
}

void TitleBar::updateButtons() {
  const bool maximized = m_window->isMaximized();
  const bool minimized = m_window->isMinimized();
  if (m_minimize) m_minimize->setVisible(!minimized && (m_buttonFlags & MinimizeFlag));
  if (m_restore) {
    m_restore->setVisible((maximized && (m_buttonFlags & MaximizeFlag)) || (minimized && (m_buttonFlags & MinimizeFlag)));
  }
  if (m_maximize) m_maximize->setVisible(!maximized && (m_buttonFlags & MaximizeFlag));
  if (m_close) m_close->setVisible(m_buttonFlags & CloseFlag);
}

QAbstractButton* TitleBar::titleButton(int kind) const {
  switch (kind) {
    case CloseFlag: return m_close;
    case MaximizeFlag: return m_maximize;
    case MinimizeFlag: return m_minimize;
    default: return nullptr;
  }
}

bool TitleBar::hasButton(int flag) const { return titleButton(flag) != nullptr && (m_buttonFlags & flag); }

void TitleBar::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  QAbstractButton* button = m_window->isMaximized() ? m_restore : m_maximize;
  if (button && button->isVisibleTo(m_window)) button->click();
}
