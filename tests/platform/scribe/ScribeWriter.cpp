// scribe_writer <main log> <error log> <max bytes, 0 for none> <tag> <threads> <lines>:
// writes lines "<tag>-<thread>-<n> <payload>" from several threads at once.
#include <platform/Scribe.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ScribeLines.h"

int main(int argc, char** argv) {
  if (argc != 7) return 2;
  char paths[2][kScribePathSize] = {};
  strncpy(paths[0], argv[1], kScribePathSize - 1);
  strncpy(paths[1], argv[2], kScribePathSize - 1);
  if (!ScribeOpen(paths)) return 3;
  const int maxBytes = atoi(argv[3]);
  ScribeSetMaxSize(0, maxBytes);
  ScribeSetMaxSize(1, maxBytes);
  const std::string tag = argv[4];
  const int threads = atoi(argv[5]);
  const int lines = atoi(argv[6]);
  std::vector<std::thread> writers;
  for (int t = 0; t < threads; ++t)
    writers.emplace_back([&, t] {
      for (int n = 0; n < lines; ++n) WriteTestLine(n % 4, tag.c_str(), t, n);
    });
  for (std::thread& writer : writers) writer.join();
  ScribeClose();
  return 0;
}
