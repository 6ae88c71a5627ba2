// The client's main window: the box search page and the sharing page in a
// stack, the flow between them, closing and exiting, and the answer to a
// second client's activation message.
#pragma once

#include <QMap>
#include <QString>

#include "CorvaneSDK.h"
#include "NoNCDialog.h"
#include "TransCtrlCallBackImpl.h"

class BoxListWnd;
class QActionStyleBtn;
class QStackedWidget;
class ScreenShareWnd;
class StandardTitleBar;
class WindowMessagePort;

namespace Ui {
class MainWnd;
}

class MainWnd : public QNoNCDialog {
  Q_OBJECT

 public:
  explicit MainWnd(QWidget* parent = nullptr);
  ~MainWnd() override;

  QStackedWidget* stack() const;
  BoxListWnd* searchPage() const { return boxList_; }
  // Null while the sharing page is not part of this build.
  ScreenShareWnd* sharePage() const { return screenShare_; }
  StandardTitleBar* standardTitleBar() const { return titleBar_; }
  // The tray's menu in the title bar, shown while the desktop has no tray.
  QActionStyleBtn* trayMenuButton() const { return trayMenuBtn_; }
  // Another process's message (a MSG), handled as the native event it stands for.
  bool portMessage(void* message, long* result);
  // False when the port failed to open: the window is then not published.
  bool hasMessagePort() const { return port_ != nullptr; }

 signals:
  void s_AcitveMainDlg();
  void s_boxSearch();

 public slots:
  void slot_showNormal();
  void slot_exitApp();
  void slot_showAboutDialog();
  void slot_connectBox(CORVANESDK::MEETING_BOX_INFO box);
  void slot_reConnectBox(CORVANESDK::MEETING_BOX_INFO box);
  void slot_showSearchWnd();
  void slot_titleChange(QString title);
  void slot_netNfy(CORVANESDK::NET_NOTIFY ret, QMap<QString, QString> params);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;
  void showEvent(QShowEvent* event) override;

 private:
  void showSharePage();

  Ui::MainWnd* ui;
  BoxListWnd* boxList_ = nullptr;
  ScreenShareWnd* screenShare_ = nullptr;
  StandardTitleBar* titleBar_ = nullptr;
  QActionStyleBtn* trayMenuBtn_ = nullptr;
  WindowMessagePort* port_ = nullptr;
};
