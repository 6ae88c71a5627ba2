#include "DecodeNetFileThead.h"

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <algorithm>

#include "FileHelpers.h"
#include "FileItem.h"
#include "FingerItem.h"
#include "Msg.h"
#include "NetFile.h"
#include "SyncSectionLock.h"
#include "Trace.h"
#include "WinFile.h"
#include "Zf7z.h"

namespace {

// CMsg's parameters are ints; a file record is a pointer.
class CDecodeFileMsg : public CMsg {
 public:
  explicit CDecodeFileMsg(CNetFile* netFile) : CMsg(0), file(netFile) {}
  CNetFile* file;
};

}  // namespace

bool CDecodeNetFileThead::PostDecodeFile(CNetFile* file) {
  SetState(file, DFS_WAIT);
  CMsg* msg = new CDecodeFileMsg(file);
  if (PostUsrMsg(msg)) return true;
  delete msg;
  return false;
}

int CDecodeNetFileThead::GetDecodeState(CNetFile* file) {
  CSyncSectionLock guard(&m_lock);
  auto found = m_states.find(file);
  return found == m_states.end() ? DFS_FAILED : found->second;
}

void CDecodeNetFileThead::SetState(CNetFile* file, int state) {
  CSyncSectionLock guard(&m_lock);
  m_states[file] = state;
}

void CDecodeNetFileThead::DealUsrMsg(CMsg* msg) {
  if (msg->GetType() == 0) {
    OnDecodeFileMsg(static_cast<CDecodeFileMsg*>(msg)->file);
    return;
  }
  TraceErr("CDecodeNetFileThead unknow msg:%d", msg->GetType());
}

bool CDecodeNetFileThead::WriteDataToFile(const std::wstring& path, std::string_view data) {
  CWinFile file;
  // Truncated: a shorter file must not keep an older one's tail.
  if (!file.Open(path, CWinFile::modeWrite, true, true)) {
    TraceWar("Open file to write failed! (err:%d, file:%s)", static_cast<int>(GetLastError()),
             WideToUtf8(path).c_str());
    return false;
  }
  // In pieces: one write of a whole large file was measured to cost the
  // kernel's copy into the page cache many times what 1 MiB writes of the
  // same bytes cost.
  constexpr size_t kPiece = 1u << 20;
  for (size_t done = 0; done < data.size();) {
    const DWORD n = static_cast<DWORD>(std::min(kPiece, data.size() - done));
    if (!file.Write(data.data() + done, n)) {
      TraceWar("WriteData To File failed(err:%d)", static_cast<int>(GetLastError()));
      return false;
    }
    done += n;
  }
  return true;
}

void CDecodeNetFileThead::OnDecodeFileMsg(CNetFile* file) {
  if (!file) {
    TraceErr("OnDecodeFileMsg pFile is NULL!");
    return;
  }
  SetState(file, DFS_DECODING);
  const SFileTransItem* item = file->Item();
  const std::string name = WideToUtf8(item->name);
  // An upload's record was sent, not fetched: there is nothing to write.
  if (item->type != FIT_DOWNFILE) {
    SetState(file, DFS_DONE);
    return;
  }
  TraceDbg("creating local file:%s", name.c_str());
  const std::wstring& path = file->LocalPath();
  bool written = false;
  int error = 0;
  switch (item->zipType) {
    case ZIP_NONE:
      written = WriteDataToFile(path, file->Data());
      if (!written) error = static_cast<int>(GetLastError());
      break;
    case ZIP_ZF7Z: {
      const int result = Zf7zDecompressToFile(file->Data(), path);
      written = result > 0;
      error = result;
      break;
    }
    default:
      error = 87;
      break;
  }
  // Written or not, the bytes are not asked for again.
  file->ReleaseData();
  if (!written) {
    TraceWar("CreateLocalFile failed(err:%d)! zipType:%d, fileid:%d, file:%s", error, item->zipType,
             file->FileId(), name.c_str());
    DeleteFileEx(path, false);
    SetState(file, DFS_FAILED);
    return;
  }
  if (m_pauseAfterUnpackMs > 0 && item->zipType == ZIP_ZF7Z) Sleep(m_pauseAfterUnpackMs);
  std::wstring value;
  if (!item->CalculateCheckValue(path, value)) {
    TraceWar("Calculate CheckValue failed! fileid:%d, file:%s", file->FileId(), name.c_str());
    DeleteFileEx(path, false);
    SetState(file, DFS_FAILED);
    return;
  }
  const int size = static_cast<int>(GetFileSize32(path));
  // A size the description does not list is not compared.
  const int result = item->CheckFile(item->size < 0 ? -1 : size, &value);
  if (result != 0) {
    TraceDbg("download check failed(%d)! size:%d, calculateValue=%s,(cfgSize:%d, cfgCheckValue:%s). fileid:%d, file:%s",
             result, size, WideToUtf8(value).c_str(), item->size, WideToUtf8(item->checkValue).c_str(),
             file->FileId(), name.c_str());
    // A file that failed its check must not be taken as current later by
    // its size and time.
    DeleteFileEx(path, false);
    SetState(file, DFS_FAILED);
    return;
  }
  // Stamped only now: the listed time marks a file as checked.
  if (item->fileTime != 0 && !SetFileUnixTime(path, static_cast<uint32_t>(item->fileTime))) {
    TraceWar("Set LocalFile MTime failed! fileid:%d, file:%s", file->FileId(), name.c_str());
  }
  TraceDbg("download check success! fileid:%d, size:%d, checkValue=%s,  file:%s", file->FileId(), size,
           WideToUtf8(value).c_str(), name.c_str());
  SetState(file, DFS_DONE);
}
