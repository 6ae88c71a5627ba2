#include "DlgConnBox.h"

#include <QTimer>

#include "App.h"
#include "FWMsgBox.h"
#include "ReasonText.h"
#include "StandardTitleBar.h"
#include "ui_DlgConnBox.h"

using namespace CORVANESDK;

DlgConnBox::DlgConnBox(const MEETING_BOX_INFO& box, QWidget* parent)
    : QNoNCDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint),
      ui(new Ui::DlgConnBox),
      box_(box) {
  auto* bar = new StandardTitleBar(this, TitleBar::CloseFlag);
  setTitleBar(bar, true);
  auto* content = new QWidget(this);
  ui->setupUi(content);
  setCentralWidget(content, true);
  // Both carry the box's own name, which any machine on the network chooses.
  ui->labInfo->setTextFormat(Qt::PlainText);
  ui->fail_label->setTextFormat(Qt::PlainText);
  QAbstractButton* close = bar->titleButton(TitleBar::CloseFlag);
  if (close) {
    disconnect(close, nullptr, this, nullptr);
    connect(close, &QAbstractButton::clicked, this, &DlgConnBox::slot_close);
  }
  connect(ui->reConnBtn, &QAbstractButton::clicked, this, &DlgConnBox::slot_reconn);
  connect(ui->exitBtn, &QAbstractButton::clicked, this, &DlgConnBox::slot_close);
  connect(ui->sureBtn, &QAbstractButton::clicked, this, &DlgConnBox::slot_sure);
  connect(&CTransCtrlCallBackImpl::instance(), &CTransCtrlCallBackImpl::ss_netNfy, this, &DlgConnBox::slot_netNfy);
  showConnecting();
  QTimer::singleShot(100, this, &DlgConnBox::slot_reconn);
}

DlgConnBox::~DlgConnBox() { delete ui; }

void DlgConnBox::showConnecting() {
  ui->progressBar->show();
  ui->reConnBtn->hide();
  ui->exitBtn->hide();
  ui->labInfo->setText(tr("%1 - connecting, please wait...").arg(box_.dispName));
  titleBar()->setTitleText(tr("connecting..."));
  ui->stackedWidget->setCurrentWidget(ui->page_connecting);
  adjustSize();
}

void DlgConnBox::slot_reconn() {
  showConnecting();
  BOX_INFO box;
  MeetingBoxToBoxInfo(box_, box);
  GetTransCtrlEngine().connectBox(box);
}

void DlgConnBox::slot_sure() {
  const QString code = ui->codeEdit->text();
  if (code.isEmpty()) {
    FWMsgBox::information(this, tr("Tips"), tr("connect code can't be empty!"), FWMsgBox::Ok, FWMsgBox::Ok, -1);
    return;
  }
  ui->stackedWidget->setCurrentWidget(ui->page_connecting);
  GetTransCtrlEngine().checkConnect(code.toUtf8().constData());
}

void DlgConnBox::slot_close() {
  // One question at a time: Escape pressed while it is open comes back here.
  if (closing_) return;
  const int state = GetTransCtrlEngine().getState();
  if (state >= CVSTATE_CONNECTING && state <= CVSTATE_WAIT_CONNCODE) {
    closing_ = true;
    const int answer = FWMsgBox::question(this, tr("Tips"), tr("you are connecting box, do you still want to close?"),
                                          FWMsgBox::Yes | FWMsgBox::No, FWMsgBox::Yes, -1);
    closing_ = false;
    if (answer != FWMsgBox::Yes) return;
    if (state == CVSTATE_WAIT_CONNCODE)
      GetTransCtrlEngine().cancelConnect();
    else
      GetTransCtrlEngine().disconnectBox();
  }
  done(0);
}

void DlgConnBox::reject() { slot_close(); }

void DlgConnBox::slot_netNfy(NET_NOTIFY nty, QMap<QString, QString> params) {
  switch (nty) {
    case CVNTY_NEED_UPDATE:
    case CVNTY_CONNECTED:
      saveLastBox();
      done(0);
      return;
    case CVNTY_NEED_CONNCODE:
      saveLastBox();
      titleBar()->setTitleText(tr("Please enter the connection code shown below the TV screen!"));
      ui->stackedWidget->setCurrentWidget(ui->page_inputcode);
      ui->codeEdit->setFocus();
      adjustSize();
      return;
    case CVNTY_ENC_PARAM_CHANGED:
      return;
    case CVNTY_CONNCODE_FAILED:
      ui->codeEdit->clear();
      autoClose_ = false;
      break;
    default:
      break;
  }
  showFailure(nty, params);
}

void DlgConnBox::showFailure(NET_NOTIFY nty, const QMap<QString, QString>& params) {
  ui->progressBar->hide();
  ui->reConnBtn->show();
  ui->exitBtn->show();
  const QString reason = params.contains(QStringLiteral("Reason"))
                             ? shareFailReasonText(params.value(QStringLiteral("Reason")).toInt())
                             : sdkErrorText(nty);
  ui->fail_label->setText(tr("connect with %1 fail(%2)").arg(box_.dispName, reason));
  titleBar()->setTitleText(tr("connect fail!"));
  ui->stackedWidget->setCurrentWidget(ui->page_fail);
  adjustSize();
  if (autoClose_) ui->exitBtn->click();
}

void DlgConnBox::saveLastBox() {
  MEETING_BOX_INFO box;
  BoxInfoToMeetingBox(GetTransCtrlEngine().getCurBox(), box);
  if (box.dispName == box.ip)
    theApp.saveLastUserAddIp(box.ip);
  else
    theApp.saveLastBoxInfo(box.boxID);
}
