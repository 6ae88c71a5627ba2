#include "ProcessIdentity.h"

#include <sys/stat.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

// /proc/<pid>/stat fields after the command name, which is in parentheses and
// may itself hold spaces and ')'. Field 3 (state) is element 0.
static std::vector<std::string> ReadStatFields(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream rest(line.substr(close + 1));
  return {std::istream_iterator<std::string>(rest), std::istream_iterator<std::string>()};
}

static bool ParseNumber(const std::string& text, uint64_t* value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end;
}

static constexpr size_t kStateField = 3;
static constexpr size_t kStartTimeField = 22;
static constexpr size_t kExitCodeField = 52;  // since Linux 3.5

static const std::string* Field(const std::vector<std::string>& fields, size_t number) {
  const size_t index = number - kStateField;
  return index < fields.size() ? &fields[index] : nullptr;
}

ProcessIdentity ReadProcessIdentity(pid_t pid) {
  ProcessIdentity identity;
  struct stat exe;
  if (stat(("/proc/" + std::to_string(pid) + "/exe").c_str(), &exe) == 0) {
    identity.haveExecutable = true;
    identity.device = exe.st_dev;
    identity.inode = exe.st_ino;
  }
  const std::vector<std::string> fields = ReadStatFields(pid);
  const std::string* start = Field(fields, kStartTimeField);
  identity.haveStartTime = start && ParseNumber(*start, &identity.startTime);
  return identity;
}

bool SameProcessIdentity(const ProcessIdentity& then, const ProcessIdentity& now) {
  if (then.haveStartTime && (!now.haveStartTime || now.startTime != then.startTime)) return false;
  if (then.haveExecutable && (!now.haveExecutable || now.device != then.device || now.inode != then.inode)) {
    return false;
  }
  return then.haveStartTime || then.haveExecutable;
}

bool ReadZombieWaitStatus(pid_t pid, int* status) {
  const std::vector<std::string> fields = ReadStatFields(pid);
  const std::string* state = Field(fields, kStateField);
  const std::string* code = Field(fields, kExitCodeField);
  uint64_t value = 0;
  if (!state || *state != "Z" || !code || !ParseNumber(*code, &value) || value > 0xFFFF) return false;
  *status = static_cast<int>(value);
  return true;
}
