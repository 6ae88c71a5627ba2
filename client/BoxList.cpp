#include "BoxList.h"

#include <QGridLayout>
#include <QPainter>
#include <QStyleOption>

#include "BoxListItem.h"
#include "ui_BoxList.h"

BoxList::BoxList(QWidget* parent) : QWidget(parent), ui(new Ui::BoxList) { ui->setupUi(this); }

BoxList::~BoxList() { delete ui; }

void BoxList::addBoxItem(const CORVANESDK::MEETING_BOX_INFO& box) {
  if (!ui->gridLayout) return;
  const int n = ui->gridLayout->count();
  auto* item = new BoxListItem(box, this);
  connect(item, &BoxListItem::s_clicked, this, &BoxList::s_itemSelect);
  item->setObjectName((n / 2) % 2 == 0 ? QStringLiteral("item_single") : QStringLiteral("item_double"));
  ui->gridLayout->addWidget(item, n / 2, n % 2, n % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
}

void BoxList::clearItems() {
  while (QLayoutItem* item = ui->gridLayout->takeAt(0)) {
    if (QWidget* tile = item->widget()) {
      // Later, not now: the tile's own click may still be on the stack below
      // the search that clears the grid.
      tile->hide();
      tile->disconnect(this);
      tile->deleteLater();
    }
    delete item;
  }
}

int BoxList::itemCount() const { return ui->gridLayout->count(); }

void BoxList::paintEvent(QPaintEvent*) {
  QStyleOption option;
  option.initFrom(this);
  QPainter painter(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
