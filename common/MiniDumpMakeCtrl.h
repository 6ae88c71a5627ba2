// Writes a minidump with the application's text trailer when the process
// crashes. The application object derives from it and supplies the hooks.
#pragma once

#include <platform/Win32Types.h>

#include <QString>
#include <string>

class QByteArray;
struct EXCEPTION_POINTERS;

class CMiniDumpMakeCtrl {
 public:
  // The dump path is "log/<uuid>.dmp", relative: it resolves against the
  // current folder at crash time.
  CMiniDumpMakeCtrl();

  // Makes instance the one the filter serves (none: crashes write nothing)
  // and installs TopLevelFilter as the process's unhandled-exception filter.
  static void InstallFilter(CMiniDumpMakeCtrl* instance);

  // Writes the dump, appends the trailer, calls OnDumped; always returns
  // EXCEPTION_EXECUTE_HANDLER so the process ends.
  static LONG TopLevelFilter(EXCEPTION_POINTERS* exceptionInfo);

 protected:
  // Not virtual by design; protected, so nothing deletes through the base.
  ~CMiniDumpMakeCtrl() = default;

  // The application's bytes for the end of the trailer.
  virtual void GetDumpInfo(const QString& dumpPath, QByteArray& text) = 0;
  // Called once the dump file is complete and closed.
  virtual void OnDumped() = 0;

 private:
  QString m_dumpPath;
  // Converted once here: the filter runs in a signal handler.
  std::wstring m_dumpPathWide;
};
