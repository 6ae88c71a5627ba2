// The updater's crash-dump writer: the process-wide filter writes a minidump
// to the path the maker gives at crash time and appends the text trailer
// (the path, the exception code and address, the maker's text, in UTF-8 with
// its zero byte) and the trailer's length + 4 as a little-endian word.
#pragma once

#include <platform/Win32Types.h>

#include <string>

struct EXCEPTION_POINTERS;

class CMiniDumpMakeCtrl {
 public:
  // Makes maker the one the filter asks and installs TopLevelFilter.
  static void InstallFilter(CMiniDumpMakeCtrl* maker);
  // Always EXCEPTION_EXECUTE_HANDLER: the process ends.
  static LONG TopLevelFilter(EXCEPTION_POINTERS* exceptionInfo);

 protected:
  // Not deleted through the base.
  ~CMiniDumpMakeCtrl() = default;

  virtual void GetDumpPath(std::wstring& path) = 0;
  virtual void GetDumpText(std::wstring& text);
};
