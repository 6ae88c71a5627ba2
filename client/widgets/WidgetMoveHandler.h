// Moves a window while the mouse is dragged over a widget it watches.
#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

class QWidgetMoveHandler : public QObject {
  Q_OBJECT

 public:
  QWidgetMoveHandler(QWidget* target, QObject* parent);

  bool isDragging() const { return m_dragging; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* m_target;
  bool m_dragging = false;
  QPoint m_pressPos;
};
