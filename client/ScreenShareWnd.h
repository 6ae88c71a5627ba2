// The sharing page: turns the user's choice of what to share into capture
// settings, follows the box's answers and brings a lost connection back.
#pragma once

#include <QSize>
#include <QTimer>
#include <QWidget>

#include "CorvaneSDK.h"
#include "ShareAreaDlg.h"
#include "ShareManager.h"

namespace Ui {
class ScreenShareWnd;
}

class ScreenShareWnd : public QWidget {
  Q_OBJECT

 public:
  explicit ScreenShareWnd(QWidget* parent);
  ~ScreenShareWnd() override;

  // 0 connected, 1 waiting, 2 sharing, 3 reconnecting.
  void setShareState(int state);
  // A reconnect dialog that ended unconnected: try again in a while.
  void retryReconnect();
  // A reconnect that led back to the search page: forget the share it was to
  // restart, so that the next connection starts nothing by itself.
  void abandonReconnect();

  const CORVANESDK::SSCFG& captureCfg() const { return m_cfg; }
  bool reconnectPending() const { return m_reconnectPending; }
  QTimer& reconnectTimer() { return m_reconnTimer; }
  CShareAreaDlg& areaFrame() { return m_areaDlg; }
  ShareManager& shareWatcher() { return m_shareManager; }

  // The capture's monitor index for a screen: 0 for the primary one, else its
  // 1-based place among the monitors the capture enumerates.
  static int captureMonitorIndex(const QRect& screen, bool primary);

 signals:
  void s_selectOtherBox();
  void s_titleChange(QString desc);
  void s_AcitveMainDlg();
  void s_reconnBox(CORVANESDK::MEETING_BOX_INFO box);

 public slots:
  void slot_startShare();
  void slot_stopShare();
  void slot_updateAreaShareRt(QRect rt);
  void slot_netNfy(CORVANESDK::NET_NOTIFY ret, QMap<QString, QString> params);
  void slot_onTimeReconn();

 protected:
  // Runs the window chooser; false when the user cancelled it.
  virtual bool chooseWindow(HWND* window, QString* title);
  virtual int windowProcessId(HWND window);
  // Shows, raises and activates a shared window that is not the main window.
  virtual void raiseWindow(HWND window);

 private:
  void onStartShareFailed(const QMap<QString, QString>& params);
  void onShareStarted();
  void onShareStopped();
  void onBoxStoppedShare();
  void onDisconnected(const QMap<QString, QString>& params);
  void encParamChanged(const QMap<QString, QString>& params);
  void startReconnectTimer();
  void applyCaptureCfg();
  void resetShare();
  QString curBoxName() const;

  Ui::ScreenShareWnd* ui;
  CORVANESDK::SSCFG m_cfg;
  CShareAreaDlg m_areaDlg;
  ShareManager m_shareManager;
  QWidget* m_mainWnd;
  QSize m_outputSize{-1, -1};
  int m_defaultKbps = 0;
  bool m_reconnectPending = false;
  // The box confirmed the share in cfg and it has not ended since: only such
  // a share is restarted after a reconnect.
  bool m_shareRunning = false;
  QTimer m_reconnTimer;
};
