// Started by the common tests.
//   common_test_helper paths <out file>        writes GetModuleDir and GetAppVersion, one a line
//   common_test_helper sleep <ms> <pid file>   writes its pid, then sleeps and exits with 0
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AppPaths.h"

static bool WriteAll(const char* path, const QByteArray& bytes) {
  // Written under a temporary name and renamed, so a reader never sees half a file.
  const QString target = QString::fromUtf8(path);
  const QString partial = target + QStringLiteral(".part");
  QFile file(partial);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  if (file.write(bytes) != bytes.size()) return false;
  file.close();
  QFile::remove(target);
  return QFile::rename(partial, target);
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "paths") == 0) {
    const QByteArray text = GetModuleDir().toUtf8() + '\n' + GetAppVersion().toUtf8() + '\n';
    return WriteAll(argv[2], text) ? 0 : 2;
  }
  if (argc == 4 && std::strcmp(argv[1], "sleep") == 0) {
    const long ms = std::strtol(argv[2], nullptr, 10);
    if (!WriteAll(argv[3], QByteArray::number(static_cast<qint64>(getpid())))) return 2;
    if (ms > 0) SleepMs(static_cast<unsigned int>(ms));
    return 0;
  }
  std::fprintf(stderr, "usage: %s paths <out file> | sleep <ms> <pid file>\n", argv[0]);
  return 1;
}
