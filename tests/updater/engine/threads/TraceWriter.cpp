// A second process writing the trace log the test also writes:
//   updater_engine_trace_writer MAIN ERR TAG COUNT
// Each line is "<TAG> <n> " followed by padding, every tenth one an error.
#include <platform/Kernel.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Trace.h"
#include "TraceManager.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s MAIN ERR TAG COUNT\n", argv[0]);
    return 64;
  }
  STraceCfg cfg = {};
  std::snprintf(cfg.mainLogPath, sizeof cfg.mainLogPath, "%s", argv[1]);
  std::snprintf(cfg.errLogPath, sizeof cfg.errLogPath, "%s", argv[2]);
  cfg.mainLogMaxSize = 0x7FFFFFFF;
  cfg.errLogMaxSize = 0x7FFFFFFF;
  if (!StartTrace(&cfg)) return 2;
  const int count = std::atoi(argv[4]);
  for (int i = 0; i < count; ++i) {
    if (i % 10 == 0) {
      TraceErr("%s %d %0200d", argv[3], i, 0);
    } else {
      TraceInf("%s %d %0200d", argv[3], i, 0);
    }
    // Well below what the queue holds between two writer passes.
    if (i % 100 == 99) Sleep(5);
  }
  StopTrace();
  return 0;
}
