#include "MutilThreadMgr.h"

#include <platform/MessageQueue.h>
#include <platform/Strings.h>

#include <algorithm>

#include "FileItem.h"
#include "FingerItem.h"
#include "HttpUpDownConnection.h"
#include "Msg.h"
#include "MutiThreadUpDownHandler.h"
#include "NetFile.h"
#include "ProxyCfg.h"
#include "ServerInfo.h"
#include "StrHelpers.h"
#include "Trace.h"
#include "TransferClock.h"

namespace {

enum { MSG_HEAD = 0, MSG_DATA = 1, MSG_EVENT = 2, MSG_TASK_END = 4, MSG_STOP = 5 };
enum { DISPATCH_TIMER = 1, STOP_CHECK_TIMER = 2 };

// CMsg's parameters are ints; a connection is a pointer.
class CConnMsg : public CMsg {
 public:
  CConnMsg(int type, CHttpUpDownConnection* connection, int value) : CMsg(type, 0, value), conn(connection) {}
  CHttpUpDownConnection* conn;
};

class ConnRecvHttpHeadMsg : public CConnMsg {
 public:
  ConnRecvHttpHeadMsg(CHttpUpDownConnection* connection, int status, const SHttpHeadInfo& info)
      : CConnMsg(MSG_HEAD, connection, status), head(info) {}
  SHttpHeadInfo head;
};

class ConnRecvDatMsg : public CConnMsg {
 public:
  ConnRecvDatMsg(CHttpUpDownConnection* connection, int position, const std::string& bytes)
      : CConnMsg(MSG_DATA, connection, position), data(bytes) {}
  std::string data;
};

}  // namespace

CMutilThreadMgr::CMutilThreadMgr() {
  const DWORD error = m_session.Open(L"Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)", true);
  if (error != 0) TraceWar("http session init failed! err:0x%x", error);
}

CMutilThreadMgr::~CMutilThreadMgr() {
  if (IsRunning()) {
    Stop();
    WaitExit(INFINITE);
  }
  RemoveConnections();
  m_session.Close();
}

bool CMutilThreadMgr::RemoveConnections() {
  for (const SConnItem& item : m_conns) {
    if (item.Busy()) return false;
  }
  // Each connection's destructor ends its thread before the object goes.
  for (SConnItem& item : m_conns) delete item.conn;
  m_conns.clear();
  m_pMain = nullptr;
  return true;
}

bool CMutilThreadMgr::SetSverInfo(const std::wstring& list) {
  if (IsRunning()) {
    TraceErr("SetSverInfo failed!, job is running!");
    return false;
  }
  if (!RemoveConnections()) {
    TraceErr("SetSverInfo failed!, remove old connections failed!");
    return false;
  }
  SConnProxy proxy;
  GetProxyCfg(proxy);
  TraceInf("cfg proxy:%d,%s", static_cast<int>(proxy.info.dwAccessType), WideToUtf8(proxy.proxy).c_str());
  std::wstring entry;
  int count = 0;
  while (ExtractSubStr(list.c_str(), count, L';', entry)) ++count;
  m_speeds.reset(new std::atomic<int>[count > 0 ? count : 1]);
  m_nSpeeds = count;
  for (int index = 0; index < count; ++index) m_speeds[index].store(0);
  for (int index = 0; index < count && ExtractSubStr(list.c_str(), index, L';', entry); ++index) {
    if (entry.empty() || entry.back() != L'/') entry += L'/';
    SServerInfo server;
    server.ParseServerInfo(entry);
    TraceDbg("Server info: ID=%d; endPoint=%s(host=%s, port=%d, basePath=%s)", index, WideToUtf8(entry).c_str(),
             WideToUtf8(server.host).c_str(), server.port, WideToUtf8(server.basePath).c_str());
    SConnItem item;
    item.conn = new CHttpUpDownConnection(index, &m_session, server, proxy, this);
    item.conn->StartThread();
    m_conns.push_back(item);
  }
  m_pMain = nullptr;
  return true;
}

bool CMutilThreadMgr::Start(CNetFile* file, CMutiThreadUpDownHandler* sink) {
  const SFileTransItem* item = file->Item();
  if (IsRunning()) {
    TraceErr("CMutilThreadMgr is running, Start failed! (name:%s)", WideToUtf8(item->name).c_str());
    return false;
  }
  m_pFile = file;
  m_pSink = sink;
  TraceInf("Start:%s; fileid:%d, name:%s; remote:%s; (orgSize:%d, zipSize:%d)",
           item->type != FIT_DOWNFILE ? "upload" : "download", file->FileId(), WideToUtf8(item->name).c_str(),
           WideToUtf8(item->remoteName).c_str(), item->size, item->transSize);
  m_dwLastRecv = 0;
  m_nStopCode = 0;
  if (!StartThread()) {
    TraceErr("CMutilThreadMgr StartThread failed! (name:%s)", WideToUtf8(item->name).c_str());
    return false;
  }
  return true;
}

void CMutilThreadMgr::Stop() {
  if (IsRunning()) PostStop(0);
}

void CMutilThreadMgr::PostStop(int code) {
  CMsg* msg = new CMsg(MSG_STOP, code);
  if (!PostUsrMsg(msg)) delete msg;
}

DWORD CMutilThreadMgr::BackoffMs(int errors) {
  if (errors <= 0) return 0;
  if (errors >= 4) return 10000;
  return static_cast<DWORD>(errors - 1) * 2000;
}

bool CMutilThreadMgr::MayTakeTask(const SConnItem& item, DWORD now) {
  if (item.Busy()) return false;
  return item.errCount == 0 || now - item.lastErrTick > BackoffMs(item.errCount);
}

// ---- The connections' side: post only.

void CMutilThreadMgr::OnConnRecvHead(CHttpUpDownConnection* connection, int status, const SHttpHeadInfo* head) {
  CMsg* msg = new ConnRecvHttpHeadMsg(connection, status, *head);
  if (!PostUsrMsg(msg)) delete msg;
}

void CMutilThreadMgr::OnConnRecvData(CHttpUpDownConnection* connection, int position, const std::string& data) {
  CMsg* msg = new ConnRecvDatMsg(connection, position, data);
  if (!PostUsrMsg(msg)) delete msg;
}

void CMutilThreadMgr::OnConnEvent(CHttpUpDownConnection* connection, int value) {
  CMsg* msg = new CConnMsg(MSG_EVENT, connection, value);
  if (!PostUsrMsg(msg)) delete msg;
}

void CMutilThreadMgr::OnConnSpeed(CHttpUpDownConnection* connection, int speed) {
  const int id = connection->Id();
  if (id >= 0 && id < m_nSpeeds) m_speeds[id].store(speed, std::memory_order_relaxed);
}

int CMutilThreadMgr::ReportedSpeed(const CHttpUpDownConnection* connection) const {
  const int id = connection->Id();
  return id >= 0 && id < m_nSpeeds ? m_speeds[id].load(std::memory_order_relaxed) : 0;
}

void CMutilThreadMgr::OnConnTaskEnd(CHttpUpDownConnection* connection, int result) {
  CMsg* msg = new CConnMsg(MSG_TASK_END, connection, result);
  if (!PostUsrMsg(msg)) delete msg;
}

// ---- The manager's thread.

void CMutilThreadMgr::InitMsgLoop() {
  TraceDbg("InitMsgLoop\n");
  m_pMain = nullptr;
  m_bStopping = false;
  m_nStopCheckTimer = 0;
  m_dwLastRecv = TransferTick();
  for (SConnItem& item : m_conns) item.speed = 0;
  for (int index = 0; index < m_nSpeeds; ++index) m_speeds[index].store(0);
  m_nDispatchTimer = StartTimer(DISPATCH_TIMER, 50);
  if (!IsUpload() && m_pFile->IsComplete()) {
    // An empty file is complete before anything is asked for.
    TraceInf("file download finished! (%d:%s)", m_pFile->FileId(), WideToUtf8(m_pFile->Item()->name).c_str());
    OnStop(0);
    return;
  }
  OnTimeout(m_nDispatchTimer, 0);
}

void CMutilThreadMgr::UninitMsgLoop() { TraceDbg("UninitMsgLoop\n"); }

void CMutilThreadMgr::OnTimeout(int timerId, LPARAM) {
  if (timerId != 0 && timerId == m_nDispatchTimer) {
    if (!Watchdog()) Dispatch();
    return;
  }
  if (timerId != 0 && timerId == m_nStopCheckTimer) {
    TraceDbg("OnTimeout(timerID==m_StopCheckTimer)\n");
    if (BusyCount() != 0) return;
    TraceDbg("AllConnect Closed!\n");
    StopTimer(m_nStopCheckTimer);
    m_nStopCheckTimer = 0;
    StopThread(m_nStopCode);
  }
}

void CMutilThreadMgr::DealUsrMsg(CMsg* msg) {
  switch (msg->GetType()) {
    case MSG_HEAD: {
      auto* head = static_cast<ConnRecvHttpHeadMsg*>(msg);
      OnHead(head->conn, head->GetLParam(), head->head);
      break;
    }
    case MSG_DATA: {
      auto* data = static_cast<ConnRecvDatMsg*>(msg);
      OnData(data->conn, data->GetLParam(), data->data);
      break;
    }
    case MSG_EVENT:
      break;
    case MSG_TASK_END: {
      auto* end = static_cast<CConnMsg*>(msg);
      OnTaskEnd(end->conn, end->GetLParam());
      break;
    }
    case MSG_STOP:
      OnStop(msg->GetWParam());
      break;
    default:
      TraceErr("CMutilThreadMgr::DealUsrMsg unknow type:%d\n", msg->GetType());
      break;
  }
}

CMutilThreadMgr::SConnItem* CMutilThreadMgr::Find(CHttpUpDownConnection* connection) {
  for (SConnItem& item : m_conns) {
    if (item.conn == connection) return &item;
  }
  return nullptr;
}

bool CMutilThreadMgr::IsUpload() const { return m_pFile && m_pFile->Item()->type != FIT_DOWNFILE; }

int CMutilThreadMgr::BusyCount() const {
  int busy = 0;
  for (const SConnItem& item : m_conns) busy += item.Busy() ? 1 : 0;
  return busy;
}

bool CMutilThreadMgr::Watchdog() {
  const DWORD now = TransferTick();
  if (now - m_dwLastRecv <= static_cast<DWORD>(m_nNoDataTimeout)) return false;
  TraceWar("no thread doing job! (lastRecvTime:%d, current:%d)\n", static_cast<int>(m_dwLastRecv),
           static_cast<int>(now));
  PostStop(TRANS_ERR_NODATA);
  return true;
}

void CMutilThreadMgr::Dispatch() {
  if (m_bStopping) return;
  if (!IsUpload() && m_pFile->IsComplete()) return;
  const DWORD now = TransferTick();
  for (SConnItem& item : m_conns) item.speed = ReportedSpeed(item.conn);
  if (!m_pMain) {
    std::stable_sort(m_conns.begin(), m_conns.end(),
                     [](const SConnItem& a, const SConnItem& b) { return a.speed > b.speed; });
    STransTask whole;
    whole.start = 0;
    whole.end = -1;
    whole.key = -1;
    for (SConnItem& item : m_conns) {
      if (MayTakeTask(item, now)) DispathTask(item, whole);
    }
    return;
  }
  if (!m_nMulti) return;
  int n = m_nMaxBusy - BusyCount();
  for (SConnItem& item : m_conns) {
    if (n <= 0) break;
    if (!MayTakeTask(item, now)) continue;
    STransTask block;
    if (!m_pFile->GetTask(item.conn, block)) break;
    DispathTask(item, block);
    --n;
  }
}

void CMutilThreadMgr::DispathTask(SConnItem& item, const STransTask& range) {
  STransTask task;
  task.verb = m_pFile->Item()->data.empty() ? L"GET" : L"POST";
  task.file = m_pFile;
  task.start = range.start;
  task.end = range.end;
  task.key = range.key;
  item.task = task;
  item.cancelled = false;
  item.cancelIsError = false;
  TraceDbg("Conn[%d] DispathTask, block:%d,%d, speed:%dKB/s\n", item.conn->Id(), task.start, task.Length(),
           item.speed);
  if (item.conn->PostTask(task)) return;
  m_pFile->ReleaseTask(item.conn, task.key);
  item.task = STransTask();
}

void CMutilThreadMgr::CancelItem(SConnItem& item, bool asError) {
  item.cancelled = true;
  item.cancelIsError = item.cancelIsError || asError;
  item.conn->CancelTask();
}

void CMutilThreadMgr::OnHead(CHttpUpDownConnection* connection, int, const SHttpHeadInfo& head) {
  SConnItem* item = Find(connection);
  if (!item || !item->Busy() || item->cancelled || IsUpload()) return;
  // Only data that is taken refreshes the no-data tick: a head alone is no
  // progress, and a server that answers but never delivers must time out.
  int size = m_pFile->GetTransSize();
  if (head.hasTotal && size < 0) {
    if (head.total > CNetFile::kMaxUnlistedSize) {
      TraceWar("Conn[%d] fileID:%d size %d above the unlisted-size cap!\n", connection->Id(), m_pFile->FileId(),
               head.total);
      CancelItem(*item, true);
      return;
    }
    if (!m_pFile->ResetBlocks(head.total)) {
      TraceErr("Conn[%d] fileID:%d no memory for FileSize=%d!\n", connection->Id(), m_pFile->FileId(), head.total);
      PostStop(TRANS_ERR_NODATA);
      return;
    }
    TraceDbg("Conn[%d] fileID:%d update FileSize=%d!\n", connection->Id(), m_pFile->FileId(), head.total);
    size = head.total;
  } else if (size >= 0 && head.hasTotal && head.total != size) {
    TraceWar("Conn[%d] OnRecvData, dataErr, fileID:%d, fileSize:%d, newSize:%d!\n", connection->Id(),
             m_pFile->FileId(), size, head.total);
    // A server that disagrees on the size is failing: it backs off like one.
    CancelItem(*item, true);
    return;
  }
  if (item->task.key < 0 && !m_pMain) {
    TraceDbg("Conn[%d] become the main thread!\n", connection->Id());
    m_pMain = connection;
    for (SConnItem& other : m_conns) {
      if (other.conn == connection || !other.Busy() || other.task.key >= 0 || other.cancelled) continue;
      TraceDbg("Conn[%d] abort full transfer! (blk:%d,%d)\n", other.conn->Id(), other.task.start,
               other.task.Length());
      CancelItem(other, false);
    }
  }
}

void CMutilThreadMgr::OnData(CHttpUpDownConnection* connection, int position, const std::string& data) {
  SConnItem* item = Find(connection);
  if (!item || !item->Busy() || data.empty()) return;
  // What is still on its way for a cancelled task is not written.
  if (item->cancelled) return;
  if (IsUpload()) {
    item->errCount = 0;
    return;
  }
  TraceDbg("Conn[%d] RecvHttpData! blk:%d,%d speed:%dKB/s\n", connection->Id(), position,
           static_cast<int>(data.size()), ReportedSpeed(connection));
  const long long heldBefore = m_pFile->GetHeldSize();
  std::vector<CHttpUpDownConnection*> cancelled;
  if (!m_pFile->WriteBlkData(connection, position, data, &cancelled)) {
    CancelItem(*item, false);
    return;
  }
  for (CHttpUpDownConnection* other : cancelled) {
    if (SConnItem* otherItem = Find(other)) otherItem->cancelled = true;
  }
  // Only bytes the file did not have yet are progress: they clear the
  // connection's errors and the no-data tick. A server that cuts every
  // answer after the same first bytes would otherwise never back off, and
  // one that sends those bytes again and again would never time out.
  if (m_pFile->GetHeldSize() > heldBefore) {
    item->errCount = 0;
    m_dwLastRecv = TransferTick();
  }
  ReportProgress();
  // The last missing bytes may come with a stream that goes on (the main
  // connection past blocks the others fetched, or a body without end): the
  // file is done when its map is empty, not when that stream ends.
  if (m_pFile->IsComplete() && !m_bStopping) {
    TraceInf("file download finished! (%d:%s)", m_pFile->FileId(), WideToUtf8(m_pFile->Item()->name).c_str());
    OnStop(0);
  }
}

void CMutilThreadMgr::ReportProgress() {
  if (!m_pSink) return;
  STransProgress progress;
  const int size = m_pFile->GetTransSize();
  progress.total = size < 0 ? 0x100000 : size;
  progress.done = m_pFile->GetDoneSize();
  m_pSink->OnTransProgress(&progress);
}

void CMutilThreadMgr::OnTaskEnd(CHttpUpDownConnection* connection, int result) {
  SConnItem* item = Find(connection);
  if (!item || !item->Busy()) return;
  const STransTask task = item->task;
  const bool cancelled = item->cancelled;
  const bool countAsError = item->cancelIsError;
  item->task = STransTask();
  item->cancelled = false;
  item->cancelIsError = false;
  TraceDbg("Conn[%d] OnTaskEnd, fileID:%d blk:%d,%d!\n", connection->Id(), m_pFile->FileId(), task.start,
           task.Length());
  // Every end gives the block back: a connection that finished keeps no
  // claim on it, or a later cancel would reach its next task.
  m_pFile->ReleaseTask(connection, task.key);
  // A cancelled task may reach its end before the cancel reaches its thread:
  // its bytes were dropped, so its end completes nothing (for a file of
  // unknown size it would fix the size at what the main connection has so
  // far). One the manager refused (its head disagreed) failed all the same.
  if (result == 0 && !cancelled) {
    if (IsUpload()) {
      TraceInf("file upload finished! (%d:%s)", m_pFile->FileId(), WideToUtf8(m_pFile->Item()->name).c_str());
      PostStop(0);
      return;
    }
    if (m_pFile->GetTransSize() < 0) m_pFile->FinishUnknownSize();
    if (m_pFile->IsComplete()) {
      TraceInf("file download finished! (%d:%s)", m_pFile->FileId(), WideToUtf8(m_pFile->Item()->name).c_str());
      PostStop(0);
      return;
    }
    if (m_nDispatchTimer) PostWindowsMessage(WM_TIMER, static_cast<WPARAM>(m_nDispatchTimer), 0);
    return;
  }
  if (countAsError || (result != 0 && result != static_cast<int>(ERROR_WINHTTP_OPERATION_CANCELLED))) {
    item->lastErrTick = TransferTick();
    ++item->errCount;
    TraceDbg("Conn[%d] IncreaseErr, errtimes:%d, lastTime:%d", connection->Id(), item->errCount,
             static_cast<int>(item->lastErrTick));
  }
  if (connection == m_pMain) m_pMain = nullptr;
}

void CMutilThreadMgr::OnStop(int code) {
  if (m_bStopping) return;
  m_bStopping = true;
  TraceDbg("Stop Download...\n");
  if (m_nDispatchTimer) StopTimer(m_nDispatchTimer);
  m_nDispatchTimer = 0;
  for (SConnItem& item : m_conns) {
    if (item.Busy() && !item.cancelled) CancelItem(item, false);
  }
  m_nStopCode = code;
  m_nStopCheckTimer = StartTimer(STOP_CHECK_TIMER, 10);
  TraceDbg("StartTimer(STOP_CHECK_TIMER)==%d...\n", m_nStopCheckTimer);
}
