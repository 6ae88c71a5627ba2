#include "BoxListWnd.h"

#include <QRegExp>
#include <QStringList>
#include <QTimer>

#include "App.h"
#include "AppLog.h"
#include "BoxSearchCallBackImpl.h"
#include "FWMsgBox.h"
#include "ui_BoxListWnd.h"

using CORVANESDK::MEETING_BOX_INFO;

BoxListWnd::BoxListWnd(QWidget* parent) : QWidget(parent), ui(new Ui::BoxListWnd) {
  ui->setupUi(this);
  qRegisterMetaType<MEETING_BOX_INFO>("MEETING_BOX_INFO");
  connect(ui->refresh, &QPushButton::clicked, this, &BoxListWnd::slot_refresh);
  connect(ui->reSearch, &QPushButton::clicked, this, &BoxListWnd::slot_search);
  connect(ui->btn_useradd, &QPushButton::clicked, this, &BoxListWnd::slot_userAdd);
  // Queued: the connection dialog that the click opens runs its own event
  // loop, in which a new search may delete the clicked tile; no tile may be
  // on the stack below it.
  connect(ui->boxListW, &BoxList::s_itemSelect, this, &BoxListWnd::slot_enter, Qt::QueuedConnection);
  connect(&CBoxSearchCallBackImpl::instance(), &CBoxSearchCallBackImpl::s_boxJoin, this, &BoxListWnd::slot_join);
  ui->stackedWidget->setCurrentWidget(ui->searching);
  setControlsEnabled(false);
  const QString lastIp = theApp.lastUserAddIp();
  if (!lastIp.isEmpty()) ui->edit_ip->setText(lastIp);
}

BoxListWnd::~BoxListWnd() { delete ui; }

void BoxListWnd::setControlsEnabled(bool enabled) {
  ui->refresh->setEnabled(enabled);
  ui->btn_useradd->setEnabled(enabled);
}

void BoxListWnd::slot_search() {
  ui->boxListW->clearItems();
  boxes_.clear();
  CORVANESDK::GetBoxSearchEngine().search();
  ui->stackedWidget->setCurrentWidget(ui->searching);
  setControlsEnabled(false);
  QTimer::singleShot(allowClickDelayMs_, this, &BoxListWnd::slot_allowClick);
}

void BoxListWnd::slot_refresh() { slot_search(); }

void BoxListWnd::slot_allowClick() {
  if (boxes_.isEmpty()) ui->stackedWidget->setCurrentWidget(ui->search_nodata);
  setControlsEnabled(true);
}

bool BoxListWnd::hasBox(const QString& boxId) const {
  if (boxId.isEmpty()) return false;
  for (const MEETING_BOX_INFO& box : boxes_)
    if (box.boxID == boxId) return true;
  return false;
}

void BoxListWnd::slot_join(const MEETING_BOX_INFO& box) {
  if (hasBox(box.boxID)) return;
  boxes_.append(box);
  ui->boxListW->addBoxItem(box);
  ui->stackedWidget->setCurrentWidget(ui->searchRst);
}

void BoxListWnd::slot_enter(const MEETING_BOX_INFO& box) { emit s_connectBox(box); }

void BoxListWnd::slot_userAdd() {
  const QString text = ui->edit_ip->text();
  if (text.isEmpty()) {
    FWMsgBox::information(this, tr("Tip"), tr("Please input the box IP!"), FWMsgBox::Ok, 0, -1);
    return;
  }
  const QRegExp dotted(QStringLiteral("((2[0-4]\\d|25[0-5]|[01]?\\d\\d?)\\.){3}(2[0-4]\\d|25[0-5]|[01]?\\d\\d?)"));
  if (!dotted.exactMatch(text)) {
    FWMsgBox::information(this, tr("Tip"), tr("Please input the correct box IP!"), FWMsgBox::Ok, 0, -1);
    return;
  }
  // "010" is ten to the user but eight to an address parser that reads a
  // leading zero as octal: the box gets the decimal reading.
  QStringList parts;
  for (const QString& part : text.split('.')) parts << QString::number(part.toInt(nullptr, 10));
  const QString ip = parts.join('.');
  MEETING_BOX_INFO box;
  box.ip = ip;
  box.port = 5625;
  box.dispName = ip;
  AppLogDbg("user link address:%s", qUtf8Printable(text));
  emit s_connectBox(box);
}
