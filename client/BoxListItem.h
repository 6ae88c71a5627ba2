// One found box on the search page: its name and an "enter" link shown while
// the mouse is over the tile.
#pragma once

#include <QFrame>

#include "CorvaneSDK.h"

namespace Ui {
class BoxListItem;
}

class BoxListItem : public QFrame {
  Q_OBJECT

 public:
  BoxListItem(const CORVANESDK::MEETING_BOX_INFO& box, QWidget* parent);
  ~BoxListItem() override;

  const CORVANESDK::MEETING_BOX_INFO& box() const { return box_; }
  void setHovered(bool hovered);
  bool hovered() const { return hovered_; }

 signals:
  // The tile's own box: boxes without an id cannot be told apart by id.
  void s_clicked(CORVANESDK::MEETING_BOX_INFO box);

 public slots:
  void slot_clickedLinkSlot(const QString& link);

 protected:
  void enterEvent(QEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  Ui::BoxListItem* ui;
  CORVANESDK::MEETING_BOX_INFO box_;
  bool hovered_ = false;
};
