// A label that reports clicks and double clicks.
#pragma once

#include <QLabel>

class QClickedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit QClickedLabel(QWidget* parent = nullptr);

 signals:
  void clicked(QClickedLabel* pLable);
  void doubleClick(QClickedLabel* pLable);

 protected:
  // Any button counts; the label's own release handling (link activation) does not run.
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};
