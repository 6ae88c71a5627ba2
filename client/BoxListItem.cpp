#include "BoxListItem.h"

#include <QPainter>
#include <QStyleOption>

#include "ui_BoxListItem.h"

BoxListItem::BoxListItem(const CORVANESDK::MEETING_BOX_INFO& box, QWidget* parent)
    : QFrame(parent), ui(new Ui::BoxListItem), box_(box) {
  ui->setupUi(this);
  setAttribute(Qt::WA_TranslucentBackground);
  // The name is whatever the box answered to the search: shown as it is,
  // never read as mark-up.
  ui->name_label->setTextFormat(Qt::PlainText);
  ui->name_label->setText(box.dispName);
  ui->enter_label->setText(QStringLiteral("<a style='color:white;' href='%1'>%2</a>").arg(1).arg(tr("enter")));
  ui->enter_label->hide();
  connect(ui->enter_label, &QLabel::linkActivated, this, &BoxListItem::slot_clickedLinkSlot);
}

BoxListItem::~BoxListItem() { delete ui; }

void BoxListItem::setHovered(bool hovered) {
  hovered_ = hovered;
  ui->enter_label->setVisible(hovered);
}

void BoxListItem::slot_clickedLinkSlot(const QString&) { emit s_clicked(box_); }

void BoxListItem::enterEvent(QEvent* event) {
  setHovered(true);
  QFrame::enterEvent(event);
}

void BoxListItem::leaveEvent(QEvent* event) {
  setHovered(false);
  QFrame::leaveEvent(event);
}

void BoxListItem::paintEvent(QPaintEvent*) {
  QStyleOption option;
  option.initFrom(this);
  QPainter painter(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
