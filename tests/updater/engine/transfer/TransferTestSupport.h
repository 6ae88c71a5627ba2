// Shared pieces of the transfer tests: test bytes and one manager run.
#pragma once

#include <string>

#include "MutilThreadMgr.h"
#include "NetFile.h"

inline std::string TestBytes(size_t n, unsigned seed = 1) {
  std::string out(n, '\0');
  unsigned state = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = static_cast<char>(state >> 16);
  }
  return out;
}

// One file through the manager as the update thread drives it; past the
// deadline the run is stopped (as the dialog's watchdog would end it) and
// -1 is returned.
inline int RunTransfer(CMutilThreadMgr& mgr, CNetFile& file, int deadlineMs) {
  if (!mgr.Start(&file, nullptr)) return -2;
  if (mgr.WaitExit(static_cast<DWORD>(deadlineMs))) return mgr.GetExitCode();
  mgr.Stop();
  mgr.WaitExit(30000);
  return -1;
}
