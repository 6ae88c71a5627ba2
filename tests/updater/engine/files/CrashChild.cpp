// What the updater tests start in a process of its own.
//   crash <dump path>        installs the updater's crash filter, crashes
//   module-path <new path>   renames its own executable, prints GetModulePath
//   local-ip                 prints GetLocalIPv4's result and address
#include <cstdio>
#include <cstring>
#include <string>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include "LocalAddress.h"
#include "MiniDumpMakeCtrl.h"
#include "PathHelpers.h"

#define CRASHER extern "C" __attribute__((noinline, no_sanitize("address", "undefined")))

CRASHER void UpdaterCrashByNullWrite() {
  volatile int* volatile target = nullptr;
  *target = 42;
}

namespace {

class CrashApp : public CMiniDumpMakeCtrl {
 public:
  explicit CrashApp(std::wstring path) : m_path(std::move(path)) {}

 protected:
  void GetDumpPath(std::wstring& path) override { path = m_path; }
  void GetDumpText(std::wstring& text) override { text = L"Version:1.0.0.1\nUser:\u00e9t\u00e9\n"; }

 private:
  std::wstring m_path;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string mode = argv[1];
  if (mode == "crash" && argc == 3) {
    static CrashApp app(Utf8ToWide(argv[2]));
    CMiniDumpMakeCtrl::InstallFilter(&app);
    UpdaterCrashByNullWrite();
    return 3;
  }
  if (mode == "module-path" && argc == 3) {
    std::wstring before;
    GetModulePath(before);
    if (!MoveFileExW(before.c_str(), Utf8ToWide(argv[2]).c_str(), MOVEFILE_REPLACE_EXISTING)) return 4;
    std::wstring after;
    GetModulePath(after);
    printf("%s\n%s\n", WideToUtf8(before).c_str(), WideToUtf8(after).c_str());
    return 0;
  }
  if (mode == "local-ip") {
    char address[16] = "stale";
    const bool found = GetLocalIPv4(address, sizeof(address));
    printf("%d [%s]\n", found ? 1 : 0, address);
    return 0;
  }
  return 2;
}
