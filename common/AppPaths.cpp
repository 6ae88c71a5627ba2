#include "AppPaths.h"

#include <QFileInfo>
#include <QString>

#include <string>

#include <platform/Kernel.h>

#include "IniHelpers.h"
#include "PathText.h"

// Paths here may be longer than MAX_PATH; beyond this something is wrong.
static const DWORD kMaxModulePathChars = 1u << 16;

QString GetModuleDir() {
  std::wstring buffer;
  for (DWORD size = MAX_PATH; size <= kMaxModulePathChars; size *= 2) {
    buffer.assign(size, L'\0');
    const DWORD count = GetModuleFileNameW(nullptr, &buffer[0], size);
    if (count == 0) return QString();
    // A result that fills the whole buffer was cut short: the folder of a
    // truncated path would be a wrong folder, so try again with more room.
    if (count < size) {
      const QString path = QString::fromWCharArray(buffer.data(), static_cast<int>(count));
      return ToNativeDir(QFileInfo(path).absolutePath());
    }
  }
  return QString();
}

QString GetAppVersion() {
  const QString dir = GetModuleDir();
  if (dir.isEmpty()) return QString();
  return IniReadString(QStringLiteral("VER"), QStringLiteral("Ver"), dir + QStringLiteral("UpdateInfo.ini"));
}

void SleepMs(unsigned int milliseconds) { Sleep(milliseconds); }
