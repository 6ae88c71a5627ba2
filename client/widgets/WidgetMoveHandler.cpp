#include "WidgetMoveHandler.h"

#include <QMouseEvent>
#include <QWidget>

QWidgetMoveHandler::QWidgetMoveHandler(QWidget* target, QObject* parent) : QObject(parent), m_target(target) {}

bool QWidgetMoveHandler::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      // Any button drags; a maximized window stays where it is.
      if (!m_target->isMaximized()) {
        m_dragging = true;
        m_pressPos = static_cast<QMouseEvent*>(event)->pos();
      }
      return false;
    case QEvent::MouseButtonRelease:
      m_dragging = false;
      return false;
    case QEvent::MouseMove:
      if (!m_dragging) return false;
      // The watched bar moves with the window, so the press position stays
      // measured against the same point of the window.
      m_target->move(m_target->pos() + static_cast<QMouseEvent*>(event)->pos() - m_pressPos);
      return true;
    default:
      return QObject::eventFilter(watched, event);
  }
}
