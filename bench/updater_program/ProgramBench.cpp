// CorvaneUpdate end to end against aria2c: versions N and N+1 of a 64 MiB
// program folder (the largest file 24 MiB, two of them served packed), N+1
// served by four scripted servers on 127.0.0.1 to 127.0.0.4, each throttled
// to 10 MB/s over all of its connections together. The real program runs
// offscreen from a fresh copy of N, as the client starts it; aria2c -x1 -s4
// -k1M fetches the same served files from the same four servers. Each round
// runs both with fresh servers; the medians go beside the goals: at most 1.2
// times aria2c's time, and a peak memory above the program's idle one of at
// most 1.1 times the largest file. Idle is a run that finds its version
// current: the same program, window and description, no file to fetch.
//   build/bench/updater_program_bench [rounds (default 3)] [--keep]
// --keep leaves the fixture and the last round's folders (and the program's
// trace log) in the temporary folder it prints.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchStats.h"
#include "RealUpdater.h"
#include "TracedChild.h"
#include "UpdateFixture.h"
#include "UpdateServer.h"

namespace fs = std::filesystem;

namespace {

const long long kRate = 10 * 1000 * 1000;
const int kServers = 4;
const size_t kLargest = 24u << 20;

// 64 MiB in all with the client. Random bytes do not shrink when packed: the
// packed random file costs its whole size on the wire and a slow decode; the
// packed text goes over as a fraction of itself.
const char* const kLayout = R"(
file Corvane client
file core.dll random 25165824 changed
file media.dat random 16777216 changed
file assets.pak random 1048576 zf7z changed
file help.txt text 8388608 zf7z changed
file strings.txt text 12582912 changed
file same.dat random 65536
)";

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file under `expected` is in `actual` with the same bytes.
bool SameFiles(const fs::path& expected, const fs::path& actual) {
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(expected, error)) {
    if (!entry.is_regular_file()) continue;
    const fs::path other = actual / fs::relative(entry.path(), expected);
    if (ReadAll(entry.path()) != ReadAll(other)) {
      std::printf("  differs: %s\n", other.string().c_str());
      return false;
    }
  }
  return !error;
}

struct Servers {
  std::vector<std::unique_ptr<UpdateServer>> list;
  std::vector<std::string> hostPorts;

  // Every server holds the served files in memory before a client asks.
  bool Start(const std::string& root, const std::vector<std::string>& served) {
    for (int i = 1; i <= kServers; ++i) {
      const std::string address = "127.0.0." + std::to_string(i);
      list.emplace_back(new UpdateServer);
      if (!list.back()->Start(address, root)) return false;
      for (const std::string& path : served)
        if (!list.back()->Preload(path)) return false;
      list.back()->SetThrottle(kRate);
      hostPorts.push_back(address + ":" + std::to_string(list.back()->port()));
    }
    return true;
  }
  std::string PerServerMiB() const {
    std::string text;
    for (const auto& server : list) {
      char part[16];
      std::snprintf(part, sizeof part, "%s%.1f", text.empty() ? "" : "/", server->BodyBytesSent() / 1048576.0);
      text += part;
    }
    return text;
  }
  long long Total() const {
    long long total = 0;
    for (const auto& server : list) total += server->BodyBytesSent();
    return total;
  }
};

// Seconds of each phase, from the fork to the reaping; -1 when its marks
// were not found in the trace log.
struct Phases {
  double startup = -1;      // fork to the description's request
  double description = -1;  // the description fetched, loaded and compared
  double files = -1;        // first file requested to the last one's last byte
  double decode = -1;       // what decoding and checking took after that
  double install = -1;      // commands, moves, description copy, start, exit
};

// Milliseconds since the epoch of a trace line's "[YYYY-MM-DD HH:MM:SS.mmm]"
// (local time, as the program writes it); -1 when the line has none.
double LineTimeMs(const std::string& line) {
  std::tm tm{};
  int ms = 0;
  if (std::sscanf(line.c_str(), "[%d-%d-%d %d:%d:%d.%d]", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec, &ms) != 7)
    return -1;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  return static_cast<double>(std::mktime(&tm)) * 1000.0 + ms;
}

Phases ReadPhases(const std::string& log, const ChildMeasure& m) {
  const double fork =
      std::chrono::duration<double, std::milli>(m.started.time_since_epoch()).count();
  double descStart = -1, descDone = -1, filesStart = -1, lastByte = -1, decoded = -1;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    const double t = LineTimeMs(line);
    if (t < 0) continue;
    if (line.find("] Start:download;") != std::string::npos) {
      if (line.find("name:UpdateInfo.ini;") != std::string::npos) {
        if (descStart < 0) descStart = t;
      } else if (filesStart < 0 && descDone >= 0) {
        filesStart = t;
      }
    } else if (line.find("] Server ver(") != std::string::npos) {
      descDone = t;
    } else if (line.find("] file download finished!") != std::string::npos && filesStart >= 0) {
      lastByte = t;
    } else if (line.find("files has been completed!") != std::string::npos && lastByte >= 0) {
      decoded = t;
    }
  }
  Phases p;
  if (descStart < 0 || descDone < 0 || filesStart < 0 || lastByte < 0 || decoded < 0) return p;
  p.startup = (descStart - fork) / 1000;
  p.description = (filesStart - descStart) / 1000;
  p.files = (lastByte - filesStart) / 1000;
  p.decode = (decoded - lastByte) / 1000;
  p.install = m.wall - (decoded - fork) / 1000;
  return p;
}

struct Round {
  ChildMeasure updater, aria;
  Phases phases;
  bool updaterOk = false, ariaOk = false;
  std::string updaterServed, ariaServed;
};

// Lines the fake client logged: it checks its folder, logs, then lingers.
int ClientLines(const FixtureTree& tree, std::string* last = nullptr) {
  std::istringstream lines(ReadAll(tree.OrderLog()));
  int count = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Corvane ", 0) != 0) continue;
    ++count;
    if (last) *last = line;
  }
  return count;
}

// The client the update started: ended once it logged its check.
void EndClientAfterItsCheck(const FixtureTree& tree, int linesBefore) {
  for (int i = 0; i < 200 && ClientLines(tree) <= linesBefore; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  long pid = 0;
  std::ifstream(tree.tools + "client.pid") >> pid;
  if (pid > 0) kill(static_cast<pid_t>(pid), SIGTERM);
}

// What the update fetches: the description and every changed file, as served.
std::vector<std::string> FetchedNames(const FixtureLayout& layout) {
  std::vector<std::string> names{"UpdateInfo.ini." + layout.newVer};
  for (const FixtureFile& file : layout.files)
    if (file.changed) names.push_back(file.zf7z ? file.name + ".z" : file.name);
  return names;
}

std::string ServedBase(const FixtureLayout& layout) { return "/Update/Corvane/" + layout.newVer + "/Win32/"; }

std::vector<std::string> ServedPaths(const FixtureLayout& layout) {
  std::vector<std::string> paths;
  for (const std::string& name : FetchedNames(layout)) paths.push_back(ServedBase(layout) + name);
  return paths;
}

bool RunUpdater(const FixtureLayout& layout, const FixtureTree& tree, const fs::path& folder, Round* round,
                const std::string& version) {
  std::error_code error;
  fs::remove_all(folder, error);
  // As installed: the listed times, which let the program skip the check
  // value of a file whose size and time match.
  fs::copy(tree.oldProgram, folder, fs::copy_options::recursive, error);
  for (const auto& entry : fs::recursive_directory_iterator(tree.oldProgram)) {
    if (error) break;
    fs::last_write_time(folder / fs::relative(entry.path(), tree.oldProgram), entry.last_write_time(), error);
  }
  if (error) {
    std::printf("cannot copy N to %s: %s\n", folder.string().c_str(), error.message().c_str());
    return false;
  }
  Servers servers;
  if (!servers.Start(tree.server, ServedPaths(layout))) {
    std::printf("a scripted server did not start\n");
    return false;
  }
  RealUpdater updater(folder.string() + "/");
  if (!updater.ok()) {
    std::printf("cannot place CorvaneUpdate in %s\n", folder.string().c_str());
    return false;
  }
  std::vector<std::string> environment = updater.Environment();
  environment.push_back("QT_QPA_PLATFORM=offscreen");
  const int linesBefore = ClientLines(tree);
  round->updater = RunMeasured({updater.program(), UpdaterArgument({servers.hostPorts, version, ""})}, environment);
  EndClientAfterItsCheck(tree, linesBefore);
  const std::string log = ReadAll(updater.AppLog());
  round->phases = ReadPhases(log, round->updater);
  round->updaterServed = servers.PerServerMiB();
  // The restarted client's own check of its folder, and ours.
  std::string clientLine;
  const bool clientChecked = ClientLines(tree, &clientLine) > linesBefore &&
                             clientLine.find("ver=" + layout.newVer + " folder=ok") != std::string::npos;
  // A run that finds its version current leaves the folder as it was and
  // need not restart the client.
  const bool update = version == layout.newVer;
  round->updaterOk = round->updater.status == 0 && (clientChecked || !update) &&
                     SameFiles(update ? tree.newProgram : tree.oldProgram, folder);
  if (!round->updaterOk) std::printf("  CorvaneUpdate ended with %d; its log: %s\n", round->updater.status,
                                     updater.AppLog().c_str());
  return true;
}


bool RunAria(const FixtureLayout& layout, const FixtureTree& tree, const fs::path& out, Round* round) {
  std::error_code error;
  fs::remove_all(out, error);
  fs::create_directories(out, error);
  Servers servers;
  if (!servers.Start(tree.server, ServedPaths(layout))) return false;
  // Each file with its four mirrors on one line, and its name below.
  const std::string base = ServedBase(layout);
  std::ofstream input(out.string() + ".input");
  for (const std::string& name : FetchedNames(layout)) {
    for (size_t i = 0; i < servers.hostPorts.size(); ++i)
      input << (i ? "\t" : "") << "http://" << servers.hostPorts[i] << base << name;
    input << "\n  out=" << name << "\n";
  }
  input.close();
  round->aria = RunMeasured({"aria2c", "--no-conf", "-q", "-x1", "-s4", "-k1M", "--file-allocation=none",
                             "--allow-overwrite=true", "--auto-file-renaming=false", "-d", out.string(), "-i",
                             out.string() + ".input"});
  round->ariaServed = servers.PerServerMiB();
  round->ariaOk = round->aria.status == 0;
  for (const std::string& name : FetchedNames(layout))
    round->ariaOk = round->ariaOk && ReadAll(tree.ServedFolder(layout.newVer) + name) == ReadAll(out / name);
  return true;
}

std::string Phase(double seconds) {
  char text[16];
  if (seconds < 0) return "-";
  std::snprintf(text, sizeof text, "%.2f", seconds);
  return text;
}

double Median(const std::vector<double>& values) { return Summarise(values).p50; }

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--keep") {
      keep = true;
    } else {
      rounds = std::max(1, std::atoi(argv[i]));
    }
  }
  const fs::path dir = fs::temp_directory_path() / ("corvane-program-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  FixtureLayout layout;
  FixtureTree tree;
  std::string error;
  const auto writing = std::chrono::steady_clock::now();
  if (!ParseFixtureLayout(kLayout, &layout, &error) ||
      !WriteFixture(layout, {UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""}, (dir / "fixture").string() + "/", &tree,
                    &error)) {
    std::printf("fixture: %s\n", error.c_str());
    return 1;
  }
  long long total = 0, wire = 0;
  for (const FixtureFile& file : layout.files) total += static_cast<long long>(fs::file_size(tree.newProgram + file.name));
  for (const std::string& name : FetchedNames(layout))
    wire += static_cast<long long>(fs::file_size(tree.ServedFolder(layout.newVer) + name));
  std::printf("update of %zu files, %.1f MiB (largest %zu MiB), %.1f MiB fetched; %d servers at %lld MB/s each\n",
              layout.files.size(), total / 1048576.0, kLargest >> 20, wire / 1048576.0, kServers, kRate / 1000000);
  std::printf("fixture in %s, written in %.0f s\n\n", dir.string().c_str(), MsSince(writing) / 1000);

  std::printf("%-5s %-13s %7s %7s %8s %6s %6s %6s %6s %6s  %-23s %s\n", "round", "client", "wall s", "cpu s",
              "peak MiB", "start", "descr", "files", "decode", "inst", "MiB served per server", "result");
  Round idle;
  if (!RunUpdater(layout, tree, dir / "fixture" / "run-idle", &idle, layout.oldVer)) return 1;
  std::printf("%-5s %-13s %7.2f %7.2f %8.1f %6s %6s %6s %6s %6s  %-23s %s\n", "idle", "CorvaneUpdate", idle.updater.wall,
              idle.updater.cpu, idle.updater.peakKiB / 1024.0, "", "", "", "", "", "", idle.updaterOk ? "ok" : "FAILED");
  std::vector<Round> results;
  for (int r = 1; r <= rounds; ++r) {
    Round round;
    if (!RunUpdater(layout, tree, dir / "fixture" / ("run-" + std::to_string(r)), &round, layout.newVer) ||
        !RunAria(layout, tree, dir / ("aria-" + std::to_string(r)), &round))
      return 1;
    const Phases& p = round.phases;
    std::printf("%-5d %-13s %7.2f %7.2f %8.1f %6s %6s %6s %6s %6s  %-23s %s\n", r, "CorvaneUpdate",
                round.updater.wall, round.updater.cpu, round.updater.peakKiB / 1024.0, Phase(p.startup).c_str(),
                Phase(p.description).c_str(), Phase(p.files).c_str(), Phase(p.decode).c_str(),
                Phase(p.install).c_str(), round.updaterServed.c_str(), round.updaterOk ? "ok" : "FAILED");
    std::printf("%-5d %-13s %7.2f %7.2f %8.1f %6s %6s %6s %6s %6s  %-23s %s\n", r, "aria2c", round.aria.wall,
                round.aria.cpu, round.aria.peakKiB / 1024.0, "", "", "", "", "", round.ariaServed.c_str(),
                round.ariaOk ? "ok" : "FAILED");
    results.push_back(round);
    if (!keep || r < rounds) {
      std::error_code ignored;
      fs::remove_all(dir / "fixture" / ("run-" + std::to_string(r)), ignored);
      fs::remove_all(dir / ("aria-" + std::to_string(r)), ignored);
    }
  }

  auto median = [&](auto pick) {
    std::vector<double> values;
    for (const Round& round : results) values.push_back(pick(round));
    return Median(values);
  };
  const double updaterWall = median([](const Round& r) { return r.updater.wall; });
  const double ariaWall = median([](const Round& r) { return r.aria.wall; });
  const double updaterPeak = median([](const Round& r) { return r.updater.peakKiB / 1024.0; });
  const double ariaPeak = median([](const Round& r) { return r.aria.peakKiB / 1024.0; });
  const double idlePeak = idle.updater.peakKiB / 1024.0;
  const bool allOk = idle.updaterOk &&
                     std::all_of(results.begin(), results.end(), [](const Round& r) { return r.updaterOk && r.ariaOk; });
  std::printf("\nmedians of %d rounds\n", rounds);
  std::printf("  phases of CorvaneUpdate (s): start %s, description %s, files %s, decode %s, install %s\n",
              Phase(median([](const Round& r) { return r.phases.startup; })).c_str(),
              Phase(median([](const Round& r) { return r.phases.description; })).c_str(),
              Phase(median([](const Round& r) { return r.phases.files; })).c_str(),
              Phase(median([](const Round& r) { return r.phases.decode; })).c_str(),
              Phase(median([](const Round& r) { return r.phases.install; })).c_str());
  std::printf("%-14s %10s %10s %10s  %s\n", "measure", "updater", "aria2c", "goal", "verdict");
  const double timeGoal = 1.2 * ariaWall;
  const double memGoal = 1.1 * (kLargest >> 20);
  auto verdict = [](double value, double goal) {
    char text[48];
    if (value <= goal) {
      std::snprintf(text, sizeof text, "pass");
    } else {
      std::snprintf(text, sizeof text, "missed by %.0f%%", (value / goal - 1) * 100);
    }
    return std::string(text);
  };
  std::printf("%-14s %10.2f %10.2f %10.2f  %s\n", "wall s", updaterWall, ariaWall, timeGoal,
              verdict(updaterWall, timeGoal).c_str());
  std::printf("%-14s %10.1f %10.1f %10s  %s\n", "peak MiB", updaterPeak, ariaPeak, "-", "");
  std::printf("%-14s %10.1f %10s %10.1f  %s\n", "above idle MiB", updaterPeak - idlePeak, "-", memGoal,
              verdict(updaterPeak - idlePeak, memGoal).c_str());
  const double updaterCpu = median([](const Round& r) { return r.updater.cpu; });
  const double ariaCpu = median([](const Round& r) { return r.aria.cpu; });
  std::printf("%-14s %10.2f %10.2f %10s  %s\n", "cpu s", updaterCpu, ariaCpu, "-", "");
  std::printf("%s\n", allOk ? "every round ended with exact bytes" : "SOME ROUND FAILED");
  if (!keep) {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  return allOk ? 0 : 1;
}
