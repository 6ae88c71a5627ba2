#include "WinFile.h"

bool CWinFile::Open(const std::wstring& path, unsigned flags, bool create, bool truncate) {
  Close();
  DWORD access = 0;
  if (flags & modeRead) access |= FILE_GENERIC_READ;
  if (flags & modeWrite) access |= FILE_GENERIC_WRITE;
  const DWORD share = (flags & modeWrite) ? 0 : FILE_SHARE_READ;
  m_file = CreateFileW(path.c_str(), access, share, nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (m_file == INVALID_HANDLE_VALUE) return false;
  if (truncate && !Truncate(0)) {
    const DWORD error = GetLastError();
    Close();
    SetLastError(error);
    return false;
  }
  return true;
}

void CWinFile::Close() {
  if (m_file == INVALID_HANDLE_VALUE) return;
  FlushFileBuffers(m_file);
  CloseHandle(m_file);
  m_file = INVALID_HANDLE_VALUE;
}

bool CWinFile::Truncate(LONG position) { return Seek(position, FILE_BEGIN) && SetEndOfFile(m_file); }

bool CWinFile::Seek(LONG distance, DWORD method) {
  return !(SetFilePointer(m_file, distance, nullptr, method) == INVALID_SET_FILE_POINTER &&
           GetLastError() != ERROR_SUCCESS);
}

int CWinFile::GetSize() { return static_cast<int>(GetFileSize(m_file, nullptr)); }

bool CWinFile::Read(void* buffer, DWORD n) {
  DWORD done = 0;
  return ReadFile(m_file, buffer, n, &done, nullptr) && done == n;
}

bool CWinFile::Write(const void* buffer, DWORD n) {
  if (n == 0) return true;
  DWORD done = 0;
  return WriteFile(m_file, buffer, n, &done, nullptr) && done == n;
}

bool CWinFile::Flush() { return FlushFileBuffers(m_file) != FALSE; }
