// Helper programs a test starts, each waited for with a deadline: a child
// that hangs is killed instead of hanging the test.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct ChildResult {
  bool finished = false;  // false: it did not start, or overran the deadline and was killed
  int status = 0;         // as waitpid gives it

  // The exit code when it ended by exit(), else -1.
  int exitCode() const;
};

class ChildProcess {
 public:
  ChildProcess() = default;
  // Kills and reaps a child still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Runs argv[0] (a path) with argv; its stdout and stderr go to outputPath
  // when given; each "NAME=value" of environment replaces or adds that
  // variable. False when no child started.
  bool start(const std::vector<std::string>& argv, const std::string& outputPath = {},
             const std::vector<std::string>& environment = {});
  // As start, with the child's stdin and stdout on pipes: *toChild writes to
  // its stdin, *fromChild reads its stdout. Both close on exec and are the
  // caller's to close.
  bool startPiped(const std::vector<std::string>& argv, int* toChild, int* fromChild);
  // Runs body in a forked copy of this process, which exits with what body
  // returns. body must not return into the test framework: only plain code.
  bool startForked(const std::function<int()>& body);
  // Waits for the child to end; kills it once the deadline passes.
  ChildResult wait(std::chrono::milliseconds deadline);
  // True once the child has ended, and then reaped; false while it runs or
  // when there is none. For a caller that watches it without a deadline.
  bool exited();
  // Kills the child at once and reaps it.
  void kill();
  // Owns a process that is our child without our having started it: an
  // orphan handed to this process as its subreaper. False when one is held.
  bool adopt(pid_t pid);
  bool running() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
};

// Starts argv and waits for it.
ChildResult RunWithDeadline(const std::vector<std::string>& argv, std::chrono::milliseconds deadline,
                            const std::string& outputPath = {});
inline ChildResult RunWithDeadline(const std::vector<std::string>& argv, int seconds,
                                   const std::string& outputPath = {}) {
  return RunWithDeadline(argv, std::chrono::seconds(seconds), outputPath);
}

std::string ReadWholeFile(const std::string& path);

// The first executable named name in PATH, or "".
std::string FindInPath(const std::string& name);
