// Starting and watching common_test_helper from the tests, independently of
// the process helpers under test.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

namespace helper_program {

// Places a copy of the helper in folder (created if needed) and returns its path.
inline QString CopyInto(const QString& folder) {
  if (!QDir().mkpath(folder)) return QString();
  const QString target = QDir(folder).filePath(QStringLiteral("common_test_helper"));
  QFile::remove(target);
  if (!QFile::copy(QStringLiteral(CORVANE_TEST_HELPER), target)) return QString();
  return target;
}

// Runs the program with the arguments and returns its exit status, or -1 when it
// could not start or did not end within the deadline (it is killed then).
inline int RunAndWait(const std::vector<std::string>& args, std::chrono::milliseconds deadline) {
  return RunWithDeadline(args, deadline).exitCode();
}

// The file's contents once it exists (the helper renames it into place whole),
// or an empty array after the deadline.
inline QByteArray WaitForFile(const QString& path, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (std::chrono::steady_clock::now() < end) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) return file.readAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return QByteArray();
}

}  // namespace helper_program
