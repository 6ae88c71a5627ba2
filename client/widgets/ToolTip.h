// A balloon with a pointer whose tip sits on a screen point; it opens toward
// the centre of the screen.
#pragma once

#include <QColor>
#include <QPoint>
#include <QSize>
#include <QTimer>
#include <QWidget>

class QClickedLabel;

struct ToolTipStyle {
  int pointerOn = 1;
  int showTime = 3000;  // milliseconds; negative: no time-out
  QColor borderColor = QColor(0, 0, 0, 255);
  QColor fillColor = QColor(255, 255, 200, 255);
  QColor textColor = QColor(0, 0, 0, 255);
  QSize pointerSize = QSize(30, 20);
  int closeOnClick = 1;
};

class CToolTip : public QWidget {
  Q_OBJECT

 public:
  explicit CToolTip(QWidget* parent);
  ~CToolTip() override;

  void setTipStyle(const ToolTipStyle& style);
  void showTip(const QPoint& target, const QString& text);

  // The label width for a text whose one-line width is natural.
  static int labelWidthFor(int natural);
  QClickedLabel* label() const { return m_label; }
  // Tip, base start and base end of the pointer, in widget coordinates.
  const QPoint* pointer() const { return m_pointer; }

 public slots:
  void showTimeout();
  void updateDlgPos();
  void slot_clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void place();
  QPainterPath outline() const;

  QPoint m_target;
  ToolTipStyle m_style;
  QTimer m_showTimer;
  QTimer m_watchTimer;
  QClickedLabel* m_label;
  QPoint m_pointer[3];
};
