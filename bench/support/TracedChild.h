// One program run as a measured child: wall and CPU time, and its own peak
// resident memory. Shared by the benchmarks that compare a program of ours
// with another client on the same servers.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct ChildMeasure {
  std::chrono::system_clock::time_point started;  // just before the fork
  double wall = 0;     // seconds from the fork to the reaping
  double cpu = 0;      // user + system seconds of the child and the children it reaped
  long peakKiB = -1;   // the child's own high-water mark, -1 when unknown
  long switches = 0;   // voluntary context switches, a measure of the thread hops it made
  int status = -1;     // the exit code, -1 when it did not end by exit()
};

// Runs argv (argv[0] looked up in PATH) with each "NAME=value" of environment
// replacing or adding that variable, and waits for it.
ChildMeasure RunMeasured(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
