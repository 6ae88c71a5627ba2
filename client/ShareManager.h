// Watches the process whose windows are shared (or the one shared window
// that names no process): rings its windows, keeps the rings on them, and
// tells the sharing page when no window is left.
#pragma once

#include <QObject>

#include <map>

#include <platform/Win32Types.h>

class CShareWindowDlg;
class QTimer;

class ShareManager : public QObject {
  Q_OBJECT

 public:
  ShareManager();
  ~ShareManager() override;

  // Only the first call of either takes effect until stopMonitor.
  void monitorProcess(int processId);
  // For a window that names no process: it is shared as itself, so it alone
  // (with the windows it owns) is watched.
  void monitorWindow(HWND window);
  void stopMonitor();
  void addIndicator(HWND window);
  void removeIndicator(HWND window);

  int processId() const { return m_processId; }
  HWND watchedWindow() const { return m_window; }
  const std::map<HWND, CShareWindowDlg*>& indicators() const { return m_indicators; }
  // The watch interval; tests shorten it.
  void setIntervalForTest(int milliseconds);
  // Watch steps run so far; for tests.
  int stepCountForTest() const { return m_steps; }

 signals:
  void s_AppShareStoped();

 public slots:
  void slot_MonitorShare();

 private:
  int m_processId = 0;
  HWND m_window = nullptr;
  std::map<HWND, CShareWindowDlg*> m_indicators;
  QTimer* m_timer;
  int m_interval = 200;
  int m_steps = 0;
};
