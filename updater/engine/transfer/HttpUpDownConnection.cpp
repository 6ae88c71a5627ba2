#include "HttpUpDownConnection.h"

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "FileItem.h"
#include "FingerItem.h"
#include "FW_WinHttpSession.h"
#include "HttpUpDownHandler.h"
#include "Msg.h"
#include "NetFile.h"
#include "Trace.h"
#include "TransferClock.h"
#include "WinHttpErrName.h"

namespace {

enum {
  MSG_DO_TRANSFER = 0,
  MSG_CANCEL = 1,
  MSG_REQUEST_ERROR = 2,
  MSG_HANDLE_CLOSING = 3,
  MSG_REDIRECT = 4,
  MSG_SEND_COMPLETE = 5,
  MSG_WRITE_COMPLETE = 6,
  MSG_HEADERS = 7,
  MSG_DATA_AVAILABLE = 8,
  MSG_READ_COMPLETE = 9,
};

class CMSG_DO_TRANSFERMsg : public CMsg {
 public:
  explicit CMSG_DO_TRANSFERMsg(const STransTask& transferTask) : CMsg(MSG_DO_TRANSFER), task(transferTask) {}
  STransTask task;
};

class CMSG_ON_REDIRECTMsg : public CMsg {
 public:
  explicit CMSG_ON_REDIRECTMsg(const std::wstring& redirectUrl) : CMsg(MSG_REDIRECT), url(redirectUrl) {}
  std::wstring url;
};

// "bytes 100-199/1000": the start after the first blank, the total after the
// '/' only when digits follow it ("*" is a total nobody knows).
void ParseContentRange(const std::wstring& text, SHttpHeadInfo& head) {
  const size_t blank = text.find(L' ');
  if (blank != std::wstring::npos) head.rspStart = static_cast<int>(std::wcstol(text.c_str() + blank + 1, nullptr, 10));
  const size_t slash = text.find(L'/');
  if (slash == std::wstring::npos || slash + 1 >= text.size()) return;
  if (text[slash + 1] < L'0' || text[slash + 1] > L'9') return;
  const long long total = std::wcstoll(text.c_str() + slash + 1, nullptr, 10);
  if (total < 0 || total > 0x7fffffff) return;
  head.hasTotal = 1;
  head.total = static_cast<int>(total);
}

}  // namespace

CHttpUpDownConnection::CHttpUpDownConnection(int id, FW_WinHttpSession* session, const SServerInfo& server,
                                             const SConnProxy& proxy, CHttpUpDownHandler* handler)
    : m_nId(id), m_server(server), m_proxy(proxy), m_pSession(session), m_pHandler(handler) {}

CHttpUpDownConnection::~CHttpUpDownConnection() {
  if (IsRunning()) {
    StopThread(0);
    WaitExit(INFINITE);
  }
}

bool CHttpUpDownConnection::PostTask(const STransTask& task) {
  CMsg* msg = new CMSG_DO_TRANSFERMsg(task);
  if (PostUsrMsg(msg)) return true;
  delete msg;
  return false;
}

bool CHttpUpDownConnection::CancelTask() {
  CMsg* msg = new CMsg(MSG_CANCEL);
  if (PostUsrMsg(msg)) return true;
  delete msg;
  return false;
}

void CHttpUpDownConnection::PostSimple(int type, int wParam) {
  CMsg* msg = new CMsg(type, wParam);
  if (!PostUsrMsg(msg)) delete msg;
}

void CHttpUpDownConnection::OnRequestError(const WINHTTP_ASYNC_RESULT* result) {
  PostSimple(MSG_REQUEST_ERROR, result ? static_cast<int>(result->dwError) : 0);
}
void CHttpUpDownConnection::OnHandleClosing() { PostSimple(MSG_HANDLE_CLOSING, 0); }
void CHttpUpDownConnection::OnRedirect(const std::wstring& url) {
  CMsg* msg = new CMSG_ON_REDIRECTMsg(url);
  if (!PostUsrMsg(msg)) delete msg;
}
void CHttpUpDownConnection::OnSendRequestComplete() { PostSimple(MSG_SEND_COMPLETE, 0); }
void CHttpUpDownConnection::OnWriteComplete(DWORD bytes) { PostSimple(MSG_WRITE_COMPLETE, static_cast<int>(bytes)); }
void CHttpUpDownConnection::OnHeadersAvailable() { PostSimple(MSG_HEADERS, 0); }
void CHttpUpDownConnection::OnDataAvailable(DWORD bytes) { PostSimple(MSG_DATA_AVAILABLE, static_cast<int>(bytes)); }
void CHttpUpDownConnection::OnReadComplete(DWORD bytes) { PostSimple(MSG_READ_COMPLETE, static_cast<int>(bytes)); }

void CHttpUpDownConnection::DealUsrMsg(CMsg* msg) {
  switch (msg->GetType()) {
    case MSG_DO_TRANSFER: {
      const int result = DoTransfer(static_cast<CMSG_DO_TRANSFERMsg*>(msg)->task);
      if (result != 0) {
        // A request that failed before it started never took its context:
        // its HANDLE_CLOSING would reach nobody, and the task never end.
        if (m_bStarted && RequestOpen() && m_request.Callback() == this) {
          CloseTask(result);
        } else if (m_task.file) {
          EndTaskNow(result);
        }
      }
      break;
    }
    case MSG_CANCEL:
      TraceDbg("Conn[%d] winHttp abort!", m_nId);
      CloseTask(ERROR_WINHTTP_OPERATION_CANCELLED);
      break;
    case MSG_REQUEST_ERROR:
      if (static_cast<DWORD>(msg->GetWParam()) == ERROR_WINHTTP_RESEND_REQUEST && RequestOpen()) {
        // A re-send that fails would otherwise leave the task open for good.
        const int error = StartWinHttpRequest();
        if (error != 0) CloseTask(error);
      } else {
        CloseTask(msg->GetWParam());
      }
      break;
    case MSG_HANDLE_CLOSING:
      OnTaskClosed();
      break;
    case MSG_REDIRECT:
      TraceWar("Conn[%d] url redirect to: %s", m_nId,
               WideToUtf8(static_cast<CMSG_ON_REDIRECTMsg*>(msg)->url).c_str());
      break;
    case MSG_SEND_COMPLETE:
      if (!RequestOpen()) break;
      CountSpeed(2048);
      if (const int error = sendContent()) {
        TraceWar("Conn[%d] sendContent failed! (err:%d)", m_nId, error);
        CloseTask(error);
      }
      break;
    case MSG_WRITE_COMPLETE:
      if (!RequestOpen()) break;
      CountSpeed(msg->GetWParam());
      m_nSendBytes += msg->GetWParam();
      if (const int error = sendContent()) {
        TraceWar("Conn[%d] winHttp sendContent send failed! (err:%d)", m_nId, error);
        CloseTask(error);
      }
      break;
    case MSG_HEADERS:
      OnHeaders();
      break;
    case MSG_DATA_AVAILABLE:
      ReadNext();
      break;
    case MSG_READ_COMPLETE:
      OnRead(static_cast<DWORD>(msg->GetWParam()));
      break;
    default:
      TraceErr("CHttpUpDownConnection::DealUsrMsg unknow type:%d\n", msg->GetType());
      break;
  }
}

int CHttpUpDownConnection::DoTransfer(const STransTask& task) {
  if (m_task.file) {
    TraceErr("Conn[%d] connection already have a task!", m_nId);
    return 22;
  }
  m_task = task;
  m_bStarted = false;
  m_bClosing = false;
  if (RequestOpen()) {
    TraceErr("Conn[%d] Repuest.Handle!=NULL!", m_nId);
    return 22;
  }
  const int type = task.file ? task.file->Item()->type : -1;
  if (type != FIT_DOWNFILE && type != FIT_UPFILE) {
    TraceErr("Conn[%d] Transfer file type err! (type:%d)", m_nId, type);
    return 22;
  }
  if (!m_conn.Handle()) {
    const int error = InitWinHttpConn();
    if (error != 0) return error;
  }
  const std::wstring object = m_server.basePath + task.file->RemoteName();
  int error = static_cast<int>(m_request.Open(task.verb, object, &m_conn, m_nId));
  if (error != 0) {
    TraceWar("Conn[%d] winHttpRequest init failed! (err:%d)", m_nId, error);
    return error;
  }
  error = static_cast<int>(m_request.SetCallback(this));
  if (error != 0) {
    TraceWar("Conn[%d] winHttpRequest set callback failed! (err:%d)", m_nId, error);
    return error;
  }
  error = static_cast<int>(m_request.SetProxy(&m_proxy.info));
  if (error != 0) TraceWar("Conn[%d] SetProxy failed! (err:%d)", m_nId, error);
  if (!m_proxy.user.empty()) {
    error = static_cast<int>(m_request.SetProxyCredentials(m_proxy.user, m_proxy.password));
    if (error != 0) TraceWar("Conn[%d] SetProxy failed! (err:%d)", m_nId, error);
  }
  error = StartWinHttpRequest();
  if (error != 0) return error;
  OpenSpeedWindow();
  return 0;
}

int CHttpUpDownConnection::InitWinHttpConn() {
  const int error = static_cast<int>(m_conn.Connect(m_server.host, m_server.port, m_pSession));
  if (error != 0) TraceWar("Conn[%d] InitWinHttpConn failed! (err:%d)", m_nId, error);
  return error;
}

int CHttpUpDownConnection::StartWinHttpRequest() {
  int error = static_cast<int>(m_request.AddHeaders(L"Accept: */*", -1));
  if (error == 0) error = static_cast<int>(m_request.AddHeaders(L"Connection: Keep-Alive", -1));
  if (error == 0 && !(m_task.start == 0 && m_task.end == -1)) {
    wchar_t range[64];
    std::swprintf(range, 64, L"Range: bytes=%d-%d", m_task.start, m_task.end - 1);
    error = static_cast<int>(m_request.AddHeaders(range, -1));
  }
  m_nRspStart = 0;
  m_nRecvBytes = 0;
  m_nSendBytes = 0;
  if (error == 0) {
    const DWORD total = m_task.file ? static_cast<DWORD>(m_task.file->Item()->data.size()) : 0;
    error = static_cast<int>(m_request.SendRequest(total));
    if (error == 0) m_bStarted = true;
  }
  if (error != 0) TraceWar("Conn[%d] StartWinHttpRequest failed! (err:%d)", m_nId, error);
  return error;
}

int CHttpUpDownConnection::sendContent() {
  const std::string& body = m_task.file->Item()->data;
  if (static_cast<size_t>(m_nSendBytes) < body.size()) {
    const size_t rest = body.size() - static_cast<size_t>(m_nSendBytes);
    const DWORD n = static_cast<DWORD>(std::min<size_t>(rest, kIoSize));
    const int error = static_cast<int>(m_request.WriteData(body.data() + m_nSendBytes, n));
    if (error != 0) TraceWar("Conn[%d] winHttp send conten failed! (err:%d)", m_nId, error);
    return error;
  }
  const int error = static_cast<int>(m_request.ReceiveResponse());
  if (error != 0) TraceWar("Conn[%d] winHttp finish send failed! (err:%d)", m_nId, error);
  return error;
}

void CHttpUpDownConnection::OnHeaders() {
  if (!RequestOpen()) return;
  CountSpeed(1024);
  DWORD status = 0;
  int error = static_cast<int>(m_request.QueryHeaderNumber(WINHTTP_QUERY_STATUS_CODE, &status));
  if (error != 0) {
    TraceWar("Conn[%d] winHttp get status_code failed! (err:%d)", m_nId, error);
    CloseTask(error);
    return;
  }
  if (status != 200 && status != 206) {
    TraceErr("Conn[%d] status_code err:%d", m_nId, static_cast<int>(status));
    CloseTask(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    return;
  }
  SHttpHeadInfo head;
  DWORD length = 0;
  error = static_cast<int>(m_request.QueryHeaderNumber(WINHTTP_QUERY_CONTENT_LENGTH, &length));
  if (error == 0) {
    head.hasLength = 1;
    head.length = static_cast<int>(length);
  } else {
    TraceDbg("Conn[%d] no CONTENT_LENGTH! (reason: 0x%x)", m_nId, error);
  }
  wchar_t range[128] = {0};
  error = static_cast<int>(m_request.QueryHeader(WINHTTP_QUERY_CONTENT_RANGE, range, sizeof(range) - sizeof(wchar_t)));
  if (error != 0) {
    TraceDbg("Conn[%d] no CONTENT_RANGE! (reason: 0x%x)", m_nId, error);
    head.hasTotal = head.hasLength;
    head.total = head.length;
  } else {
    ParseContentRange(range, head);
  }
  m_nRspStart = head.rspStart;
  if (head.rspStart != m_task.start) {
    TraceWar("Conn[%d] rsp range err! (taskStartPos:%d, rspStartPos:%d)", m_nId, m_task.start, head.rspStart);
    CloseTask(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    return;
  }
  m_pHandler->OnConnRecvHead(this, static_cast<int>(status), &head);
  ReadNext();
}

void CHttpUpDownConnection::ReadNext() {
  if (!RequestOpen()) return;
  m_readBuf.resize(kIoSize);
  const int error = static_cast<int>(m_request.ReadData(&m_readBuf[0], kIoSize));
  if (error != 0) {
    TraceWar("Conn[%d] winHttp readData failed! (err:%d)", m_nId, error);
    CloseTask(error);
  }
}

void CHttpUpDownConnection::OnRead(DWORD bytes) {
  if (!RequestOpen()) return;
  if (bytes > m_readBuf.size()) bytes = static_cast<DWORD>(m_readBuf.size());
  CountSpeed(bytes);
  if (bytes == 0) {
    CloseTask(0);
    return;
  }
  m_readBuf.resize(bytes);
  m_pHandler->OnConnRecvData(this, m_nRspStart + m_nRecvBytes, m_readBuf);
  m_nRecvBytes += static_cast<int>(bytes);
  ReadNext();
}

void CHttpUpDownConnection::CloseTask(int reason) {
  if (!RequestOpen()) return;
  // The opening bracket is full-width, as the log readers expect it.
  TraceDbg("Conn[%d] start close task! \xEF\xBC\x88reason:0x%x, %s)", m_nId, reason,
           GetWinHttpErrName(static_cast<DWORD>(reason)));
  m_nCloseReason = reason;
  m_bClosing = true;
  if (!m_request.Close()) TraceWar("Conn[%d] Repuest.Close failed! \xEF\xBC\x88" "err:0x%x)", m_nId, GetLastError());
  // A failed task reconnects for the next one; a good one keeps the server
  // connection alive.
  if (reason != 0 && !m_conn.Close()) {
    TraceWar("Conn[%d] httpConn.Close failed! \xEF\xBC\x88" "err:0x%x)", m_nId, GetLastError());
  }
}

void CHttpUpDownConnection::EndTaskNow(int reason) {
  TraceDbg("Conn[%d] end task at once! \xEF\xBC\x88reason:0x%x, %s)", m_nId, reason,
           GetWinHttpErrName(static_cast<DWORD>(reason)));
  if (RequestOpen()) {
    // Whatever context its HANDLE_CLOSING would carry, it must not end a
    // second time the task that ends here.
    m_request.ClearCallback();
    m_request.Close();
  }
  if (reason != 0) m_conn.Close();
  m_task = STransTask();
  m_bStarted = false;
  m_bClosing = false;
  m_pHandler->OnConnTaskEnd(this, reason);
}

void CHttpUpDownConnection::OnTaskClosed() {
  if (!m_bClosing) return;
  m_bClosing = false;
  m_bStarted = false;
  m_task = STransTask();
  m_pHandler->OnConnTaskEnd(this, m_nCloseReason);
}

void CHttpUpDownConnection::OpenSpeedWindow() {
  SSpeedWindow window;
  window.start = TransferTick();
  m_speed.push_back(window);
  while (m_speed.size() > kMaxSpeedWindows) m_speed.pop_front();
}

void CHttpUpDownConnection::CountSpeed(long long bytes) {
  if (m_speed.empty()) OpenSpeedWindow();
  SSpeedWindow& last = m_speed.back();
  last.bytes += bytes;
  last.elapsed = TransferTick() - last.start;
  if (last.elapsed > 1999) OpenSpeedWindow();
  long long sumBytes = 0;
  long long sumMs = 0;
  for (const SSpeedWindow& window : m_speed) {
    sumBytes += window.bytes;
    sumMs += window.elapsed;
  }
  if (sumMs < 1) sumMs = 1;
  m_pHandler->OnConnSpeed(this, static_cast<int>(sumBytes / sumMs));
}
