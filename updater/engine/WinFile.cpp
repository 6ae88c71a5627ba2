#include "WinFile.h"

bool CWinFile::Open(const std::wstring& path, unsigned flags, bool create, bool truncate) {
  Close();
  DWORD access = 0;
  if (flags & modeRead) access |= FILE_GENERIC_READ;
  if (flags & modeWrite) access |= FILE_GENERIC_WRITE;
  const DWORD share = (flags & modeWrite) ? 0 : FILE_SHARE_READ;
  m_file = OwnHandle(CreateFileW(path.c_str(), access, share, nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!m_file) return false;
  if (truncate && !Truncate(0)) {
    const DWORD error = GetLastError();
    Close();
    SetLastError(error);
    return false;
  }
  return true;
}

void CWinFile::Close() {
  if (!m_file) return;
  FlushFileBuffers(m_file.get());
  m_file.reset();
}

bool CWinFile::Truncate(LONG position) { return Seek(position, FILE_BEGIN) && SetEndOfFile(Handle()); }

bool CWinFile::Seek(LONG distance, DWORD method) {
  return !(SetFilePointer(Handle(), distance, nullptr, method) == INVALID_SET_FILE_POINTER &&
           GetLastError() != ERROR_SUCCESS);
}

int CWinFile::GetSize() { return static_cast<int>(GetFileSize(Handle(), nullptr)); }

bool CWinFile::Read(void* buffer, DWORD n) {
  DWORD done = 0;
  return ReadFile(Handle(), buffer, n, &done, nullptr) && done == n;
}

bool CWinFile::Write(const void* buffer, DWORD n) {
  if (n == 0) return true;
  DWORD done = 0;
  return WriteFile(Handle(), buffer, n, &done, nullptr) && done == n;
}

bool CWinFile::Flush() { return FlushFileBuffers(Handle()) != FALSE; }
