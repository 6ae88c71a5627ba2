// Starting and watching common_test_helper from the tests, independently of
// the process helpers under test.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

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
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  const auto end = std::chrono::steady_clock::now() + deadline;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
