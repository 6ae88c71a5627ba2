// One Win32 file handle through which the updater reads and writes whole
// files; closed (flushed first) on destruction.
#pragma once

#include <platform/Kernel.h>
#include <platform/KernelOwners.h>

#include <string>

class CWinFile {
 public:
  enum : unsigned { modeRead = 1, modeWrite = 2 };

  CWinFile() = default;
  ~CWinFile() { Close(); }
  CWinFile(const CWinFile&) = delete;
  CWinFile& operator=(const CWinFile&) = delete;

  // flags: modeRead and/or modeWrite. Opened for reading only, other readers
  // may open the file too; opened for writing, it shares nothing. A failed
  // truncation closes the file and keeps its error as the last error.
  bool Open(const std::wstring& path, unsigned flags, bool create, bool truncate);
  void Close();
  bool IsOpen() const { return m_file != nullptr; }
  // INVALID_HANDLE_VALUE while closed, as CreateFileW gives it.
  HANDLE Handle() const { return m_file ? m_file.get() : INVALID_HANDLE_VALUE; }

  bool Truncate(LONG position);
  bool Seek(LONG distance, DWORD method);
  int GetSize();
  // Both succeed only for exactly n bytes.
  bool Read(void* buffer, DWORD n);
  bool Write(const void* buffer, DWORD n);
  bool Flush();

 private:
  UniqueHandle m_file;
};
