// The modal dialog that connects to one box: busy page, code page, failure page.
#pragma once

#include <QMap>
#include <QString>

#include "CorvaneSDK.h"
#include "NoNCDialog.h"
#include "TransCtrlCallBackImpl.h"

namespace Ui {
class DlgConnBox;
}

class DlgConnBox : public QNoNCDialog {
  Q_OBJECT

 public:
  DlgConnBox(const CORVANESDK::MEETING_BOX_INFO& box, QWidget* parent);
  ~DlgConnBox() override;

  // A failure then ends the dialog at once (automatic reconnects).
  void setAutoCloseOnFail(bool autoClose) { autoClose_ = autoClose; }
  // Still in reconnect mode: only a refused code takes the dialog out of it.
  bool autoCloseOnFail() const { return autoClose_; }

 public slots:
  void slot_reconn();
  void slot_sure();
  void slot_close();
  void slot_netNfy(CORVANESDK::NET_NOTIFY nty, QMap<QString, QString> params);
  // Escape and the window manager's close come here too: ending the dialog
  // while the SDK still connects must ask and stop the connect first.
  void reject() override;

 private:
  void showConnecting();
  void showFailure(CORVANESDK::NET_NOTIFY nty, const QMap<QString, QString>& params);
  void saveLastBox();

  Ui::DlgConnBox* ui;
  CORVANESDK::MEETING_BOX_INFO box_;
  bool autoClose_ = false;
  bool closing_ = false;
};
