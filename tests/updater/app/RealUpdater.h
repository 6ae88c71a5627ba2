// The built CorvaneUpdate as the client starts it, for the tests that run the
// real program: a copy in the program folder, the client's argument for a set
// of servers, and a runtime folder of its own, so that its instance block
// never meets another test's updater.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "ScopedTempDir.h"

// "127.0.0.x:port" of each server, the version they serve, and where reports
// go (a "host:port" that may be one of the servers).
struct UpdaterJob {
  std::vector<std::string> servers;
  std::string version;
  std::string reportServer;
  std::string prefix = "corvane:";
};

// The one argument the client passes, built by the client's own builder.
std::string UpdaterArgument(const UpdaterJob& job);

class RealUpdater {
 public:
  // Copies the built program into programFolder (ends in '/').
  explicit RealUpdater(const std::string& programFolder);

  bool ok() const { return !m_program.empty() && m_runtime.ok(); }
  const std::string& program() const { return m_program; }
  // What the program logs; its trace log's folder.
  std::string AppLog() const { return m_folder + "Log/AppLog.log"; }

  // Extra "NAME=value" for the runs that follow (test hooks, the language).
  void AddEnvironment(const std::string& line) { m_environment.push_back(line); }
  const std::vector<std::string>& Environment() const { return m_environment; }

  // A program the updater runs under, with its first arguments (a private
  // mount namespace); the updater and its argument follow them.
  void SetLauncher(std::vector<std::string> launcher) { m_launcher = std::move(launcher); }

  bool Start(const std::string& argument, ChildProcess* child) const;
  // The exit code, or -1 when it did not end by exit() within the deadline.
  int Run(const std::string& argument, int seconds) const;

 private:
  std::string m_folder;
  std::string m_program;
  ScopedTempDir m_runtime;
  std::vector<std::string> m_environment;
  std::vector<std::string> m_launcher;
};
