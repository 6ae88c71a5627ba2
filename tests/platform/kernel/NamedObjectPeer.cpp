// A second process for the named-object tests. It reports on stdout, one line
// per step, and keeps what it holds until its stdin reaches end of file.
//   mapping NAME SIZE FILL   open the mapping, report, fill it with FILL (hex) unless "-"
//   mutex NAME               take the mutex and hold it
//   try-mutex NAME MS        wait up to MS for the mutex, report, release
//   event NAME MANUAL SET    create the event, set it when SET is 1
//   wait-event NAME MS       open the event and wait up to MS
#include <platform/Kernel.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static void Report(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

static void HoldUntilStdinCloses() {
  char buffer[64];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
}

static int Mapping(const char* name, unsigned long size, const char* fill) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
  const DWORD error = GetLastError();
  if (!mapping) return Report("error " + std::to_string(error)), 1;
  auto* view = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size));
  if (!view) return Report("error map " + std::to_string(GetLastError())), 1;
  unsigned long nonzero = 0;
  for (unsigned long i = 0; i < size; ++i) nonzero += view[i] != 0;
  char line[96];
  std::snprintf(line, sizeof line, "existed=%d first=%02x nonzero=%lu", error == ERROR_ALREADY_EXISTS ? 1 : 0,
                view[0], nonzero);
  Report(line);
  if (std::strcmp(fill, "-") != 0) std::memset(view, static_cast<int>(std::strtoul(fill, nullptr, 16)), size);
  Report("ready");
  HoldUntilStdinCloses();
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  return 0;
}

static int Mutex(const char* name, bool hold, DWORD ms) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
  if (!mutex) return Report("error " + std::to_string(GetLastError())), 1;
  const DWORD result = WaitForSingleObject(mutex, hold ? INFINITE : ms);
  Report("wait " + std::to_string(result));
  if (hold) HoldUntilStdinCloses();
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}

static int Event(const char* name, bool manual, bool set) {
  const std::wstring wide(name, name + std::strlen(name));
  HANDLE event = CreateEventW(nullptr, manual, FALSE, wide.c_str());
  if (!event) return Report("error " + std::to_string(GetLastError())), 1;
  Report(GetLastError() == ERROR_ALREADY_EXISTS ? "existed" : "created");
  if (set) Report("set " + std::to_string(SetEvent(event)));
  HoldUntilStdinCloses();
  CloseHandle(event);
  return 0;
}

static int WaitEvent(const char* name, DWORD ms) {
  const std::wstring wide(name, name + std::strlen(name));
  HANDLE event = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, wide.c_str());
  if (!event) return Report("error " + std::to_string(GetLastError())), 1;
  Report("opened");
  Report("wait " + std::to_string(WaitForSingleObject(event, ms)));
  CloseHandle(event);
  return 0;
}

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "mapping" && argc == 5) return Mapping(argv[2], std::strtoul(argv[3], nullptr, 10), argv[4]);
  if (command == "mutex" && argc == 3) return Mutex(argv[2], true, 0);
  if (command == "try-mutex" && argc == 4) return Mutex(argv[2], false, std::strtoul(argv[3], nullptr, 10));
  if (command == "event" && argc == 5) return Event(argv[2], argv[3][0] == '1', argv[4][0] == '1');
  if (command == "wait-event" && argc == 4) return WaitEvent(argv[2], std::strtoul(argv[3], nullptr, 10));
  std::fprintf(stderr, "named_object_peer: unknown command\n");
  return 2;
}
