// The grid of found boxes on the search page, two tiles a row.
#pragma once

#include <QWidget>

#include "CorvaneSDK.h"

namespace Ui {
class BoxList;
}

class BoxList : public QWidget {
  Q_OBJECT

 public:
  explicit BoxList(QWidget* parent = nullptr);
  ~BoxList() override;

  // Rows alternate "item_single" and "item_double" for the style sheet.
  void addBoxItem(const CORVANESDK::MEETING_BOX_INFO& box);
  void clearItems();
  int itemCount() const;

 signals:
  void s_itemSelect(CORVANESDK::MEETING_BOX_INFO box);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Ui::BoxList* ui;
};
