// The same-version check over a generated program folder: the finger load
// when every file's time differs from the listed one (every MD5 computed),
// and again once the times match (size and time only), beside md5sum over
// the same files in the same run. Page cache warm: the folder was just written.
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <platform/Strings.h>

#include "BenchStats.h"
#include "FWUpdateIni.h"
#include "FingerFile.h"
#include "MD5.h"
#include "UpdateFixture.h"

namespace fs = std::filesystem;

static bool ResetTimes(const std::string& folder, const std::vector<std::string>& names) {
  const struct timespec times[2] = {{1000, 0}, {1000, 0}};
  for (const std::string& name : names)
    if (utimensat(AT_FDCWD, (folder + name).c_str(), times, 0) != 0) return false;
  return true;
}

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
  const size_t bytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 200u * 1024 * 1024 / 2000;
  const std::string work = argc > 3 ? argv[3] : (fs::temp_directory_path() / "bench-updater-finger").string();
  const int rounds = 3;

  fs::remove_all(work);
  FixtureLayout layout;
  std::vector<std::string> names;
  for (int i = 0; i < files; ++i) {
    FixtureFile file;
    file.name = "d" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".bin";
    file.kind = "random";
    file.size = bytes;
    layout.files.push_back(file);
    names.push_back(file.name);
  }
  FixtureTree tree;
  std::string error;
  std::printf("writing %d files of %zu bytes under %s ...\n", files, bytes, work.c_str());
  if (!WriteFixture(layout, FixtureBinaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""}, work, &tree, &error)) {
    std::fprintf(stderr, "bench: %s\n", error.c_str());
    return 1;
  }

  CFWUpdateIni ini;
  LoadUpdateIni(ini, Utf8ToWide(tree.oldProgram) + L"UpdateInfo.ini", L"");
  const std::wstring main = GetMainSection(ini);
  std::vector<double> differ, match, md5sum, md5Only;
  for (int round = 0; round < rounds; ++round) {
    if (!ResetTimes(tree.oldProgram, names)) {
      std::fprintf(stderr, "bench: cannot reset the file times\n");
      return 1;
    }
    CFingerFile finger;
    auto start = std::chrono::steady_clock::now();
    bool ok = finger.InitSection(&ini, main);
    differ.push_back(MsSince(start));
    if (!ok || !finger.UnOkItems().empty()) {
      std::fprintf(stderr, "bench: the folder did not check as current\n");
      return 1;
    }
    start = std::chrono::steady_clock::now();
    ok = finger.InitSection(&ini, main);
    match.push_back(MsSince(start));
    if (!ok || !finger.UnOkItems().empty()) return 1;

    // The check value alone, to tell it from the time updates (each closes
    // its file with a flush, which must commit the changed times).
    start = std::chrono::steady_clock::now();
    for (const std::string& name : names) {
      std::wstring md5;
      if (!GetFileMD5(Utf8ToWide(tree.oldProgram + name), md5)) return 1;
    }
    md5Only.push_back(MsSince(start));

    const std::string command = "cd '" + tree.oldProgram + "' && find d* -type f -print0 | xargs -0 md5sum > /dev/null";
    start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return 1;
    md5sum.push_back(MsSince(start));
  }

  const double mib = static_cast<double>(bytes) * files / (1024.0 * 1024.0);
  std::printf("\n%d files, %.1f MiB, %d rounds\n", files, mib, rounds);
  std::printf("%-44s %10s %10s %10s\n", "step", "p50 ms", "worst ms", "MiB/s");
  auto row = [&](const char* name, const std::vector<double>& ms) {
    const BenchStats stats = Summarise(ms);
    double worst = 0;
    for (double m : ms) worst = m > worst ? m : worst;
    std::printf("%-44s %10.1f %10.1f %10.1f\n", name, stats.p50, worst, stats.p50 > 0 ? mib / (stats.p50 / 1000) : 0);
  };
  row("InitSection, times differ (every MD5)", differ);
  row("InitSection, times match (size and time)", match);
  row("GetFileMD5 alone over the same files", md5Only);
  row("md5sum over the same files", md5sum);
  fs::remove_all(work);
  return 0;
}
