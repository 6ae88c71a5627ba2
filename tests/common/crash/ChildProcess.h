// Starting a helper program and waiting for it with a deadline.
#pragma once

#include <string>
#include <vector>

struct ChildResult {
  bool finished = false;  // false: it overran the deadline and was killed
  int status = 0;         // as waitpid gives it
};

// Runs program with args; its stdout and stderr go to outputPath when given.
ChildResult RunWithDeadline(const std::vector<std::string>& argv, int seconds, const std::string& outputPath = {});

std::string ReadWholeFile(const std::string& path);

// The first executable named name in PATH, or "".
std::string FindInPath(const std::string& name);
