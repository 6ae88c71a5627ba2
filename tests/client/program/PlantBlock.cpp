// Holds the client's instance block open with a given pid in word 0, so a
// test can plant a process that is not a client. Runs until killed.
#include <platform/Kernel.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <pid>\n", argv[0]);
    return 2;
  }
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "CORVANE_MAIN1Mut");
  if (mutex == nullptr) return 1;
  WaitForSingleObject(mutex, INFINITE);
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 256, "CORVANE_MAIN1");
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 256) : nullptr;
  if (view == nullptr) return 1;
  int words[2] = {std::atoi(argv[1]), 0};
  std::memcpy(view, words, sizeof words);
  ReleaseMutex(mutex);
  std::printf("planted\n");
  std::fflush(stdout);
  for (;;) Sleep(1000);
}
