#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

int ChildResult::exitCode() const { return finished && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

ChildProcess::~ChildProcess() { kill(); }

void ChildProcess::kill() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGKILL);
  waitpid(m_pid, nullptr, 0);
  m_pid = -1;
}

bool ChildProcess::exited() {
  if (m_pid <= 0 || waitpid(m_pid, nullptr, WNOHANG) != m_pid) return false;
  m_pid = -1;
  return true;
}

bool ChildProcess::adopt(pid_t pid) {
  if (m_pid > 0 || pid <= 0) return false;
  m_pid = pid;
  return true;
}

bool ChildProcess::startForked(const std::function<int()>& body) {
  if (m_pid > 0) return false;
  const pid_t pid = fork();
  // _exit: the copy must not run the parent's exit handlers or flush its buffers twice.
  if (pid == 0) _exit(body());
  if (pid < 0) return false;
  m_pid = pid;
  return true;
}

// This process's environment with the overrides in place, built before the
// fork: the child of a threaded parent may not allocate.
static std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string line = *entry;
    const std::string name = line.substr(0, line.find('=') + 1);
    bool replaced = false;
    for (const std::string& override : overrides) replaced = replaced || override.compare(0, name.size(), name) == 0;
    if (!replaced) merged.push_back(line);
  }
  merged.insert(merged.end(), overrides.begin(), overrides.end());
  return merged;
}

bool ChildProcess::start(const std::vector<std::string>& argv, const std::string& outputPath,
                         const std::vector<std::string>& environment) {
  if (m_pid > 0 || argv.empty()) return false;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const std::vector<std::string> merged = MergedEnvironment(environment);
  std::vector<char*> envp;
  for (const std::string& line : merged) envp.push_back(const_cast<char*>(line.c_str()));
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (!outputPath.empty()) {
      const int fd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) {
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        close(fd);
      }
    }
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  if (pid < 0) return false;
  m_pid = pid;
  return true;
}

bool ChildProcess::startPiped(const std::vector<std::string>& argv, int* toChild, int* fromChild) {
  if (m_pid > 0 || argv.empty()) return false;
  int in[2];
  int out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return false;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return false;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    // dup2 clears close-on-exec on the child's own ends only.
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (pid < 0) {
    close(in[1]);
    close(out[0]);
    return false;
  }
  m_pid = pid;
  *toChild = in[1];
  *fromChild = out[0];
  return true;
}

ChildResult ChildProcess::wait(std::chrono::milliseconds deadline) {
  ChildResult result;
  if (m_pid <= 0) return result;
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (std::chrono::steady_clock::now() < end) {
    if (waitpid(m_pid, &result.status, WNOHANG) == m_pid) {
      m_pid = -1;
      result.finished = true;
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(m_pid, SIGKILL);
  waitpid(m_pid, &result.status, 0);
  m_pid = -1;
  return result;
}

ChildResult RunWithDeadline(const std::vector<std::string>& argv, std::chrono::milliseconds deadline,
                            const std::string& outputPath) {
  ChildProcess child;
  if (!child.start(argv, outputPath)) return {};
  return child.wait(deadline);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string FindInPath(const std::string& name) {
  const char* path = getenv("PATH");
  std::istringstream folders(path ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}
