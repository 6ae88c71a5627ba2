// An update description from the network: ini text through the section
// reader and the finger load. No crash, no read past a buffer, no recursion
// without bound.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <platform/Strings.h>

#include "FWUpdateIni.h"
#include "FingerFile.h"

// One private folder, so the file checks of a load only ever meet the description itself.
static const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/fuzz-update-ini-XXXXXX";
    return std::string(mkdtemp(pattern) ? pattern : "/tmp") + "/";
  }();
  return folder;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Folder() + "UpdateInfo.ini";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  CFWUpdateIni ini;
  LoadUpdateIni(ini, Utf8ToWide(path), L"corvane:LVNQVkVSPTEuMC4wLjI=");
  SIniSection section;
  ini.GetSection(L"MAIN", section);
  GetUpdateExe(ini);
  CFingerFile finger;
  if (finger.InitSection(&ini, GetMainSection(ini))) {
    std::vector<SFingerItem*> list = finger.Items();
    finger.CheckItems(Utf8ToWide(Folder()), list, nullptr);
    CFingerFile::SubtractItems(list, finger.OkItems(), nullptr);
  }
  return 0;
}
