#include "ShareManager.h"

#include <QTimer>

#include <platform/User.h>

#include <list>
#include <set>
#include <utility>

#include "FWMsgBox.h"
#include "ShareWindowDlg.h"
#include "SystemHelpers.h"
#include "TopWindows.h"

ShareManager::ShareManager() : m_timer(new QTimer(this)) {
  connect(m_timer, &QTimer::timeout, this, &ShareManager::slot_MonitorShare);
}

ShareManager::~ShareManager() {
  for (auto& entry : m_indicators) delete entry.second;
}

void ShareManager::setIntervalForTest(int milliseconds) { m_interval = milliseconds; }

void ShareManager::monitorProcess(int processId) {
  if (m_processId != 0 || m_window != nullptr) return;
  m_processId = processId;
  // One connection, made in the constructor: starting again never adds a second step per tick.
  m_timer->start(m_interval);
}

void ShareManager::monitorWindow(HWND window) {
  if (m_processId != 0 || m_window != nullptr) return;
  m_window = window;
  m_timer->start(m_interval);
}

void ShareManager::stopMonitor() {
  m_processId = 0;
  m_window = nullptr;
  for (auto& entry : m_indicators) entry.second->deleteLater();
  m_indicators.clear();
  m_timer->stop();
}

void ShareManager::addIndicator(HWND window) {
  if (m_indicators.count(window) != 0) return;
  auto* indicator = new CShareWindowDlg(window);
  indicator->show();
  m_indicators.emplace(window, indicator);
}

void ShareManager::removeIndicator(HWND window) {
  auto found = m_indicators.find(window);
  if (found == m_indicators.end()) return;
  found->second->hide();
  found->second->deleteLater();
  m_indicators.erase(found);
}

void ShareManager::slot_MonitorShare() {
  ++m_steps;
  // Copied first: removing an indicator changes the map.
  const std::map<HWND, CShareWindowDlg*> indicators = m_indicators;
  for (const auto& entry : indicators) {
    if (IsWindow(entry.first)) {
      entry.second->followTarget();
      continue;
    }
    removeIndicator(entry.first);
    if (m_indicators.empty()) {
      stopMonitor();
      emit s_AppShareStoped();
      FWMsgBox::information(nullptr, tr("Tip"),
                            tr("the program you are sharing has been closed, program sharing will over!"),
                            FWMsgBox::Ok, 0, -1);
      return;
    }
  }
  if (m_processId != 0 || m_window != nullptr) {
    // The rings are windows of this process too: when the client shares
    // itself they must not be framed, or every tick would frame the last
    // tick's frames.
    std::set<HWND> own;
    for (const auto& entry : m_indicators) own.insert(reinterpret_cast<HWND>(entry.second->winId()));
    // Listing and classifying read one snapshot of the windows.
    const WindowWalk walk;
    std::list<HWND> windows;
    EnumTopWindows(windows);
    CatchWndFilter filter;
    filter.mode = IsVistaOrLater() ? 2 : 1;
    // As the capture shares them: the process's windows, or the one window
    // with those it owns.
    if (m_processId != 0) filter.processIds.insert(static_cast<DWORD>(m_processId));
    if (m_window != nullptr) filter.windows.insert(m_window);
    std::list<std::pair<HWND, int>> classes;
    ClassifyWindows(windows, filter, classes);
    for (const auto& entry : classes) {
      if (entry.second == kWndShared && own.count(entry.first) == 0) addIndicator(entry.first);
    }
  }
  if (m_indicators.empty()) {
    stopMonitor();
    emit s_AppShareStoped();
  }
}
