#include "FolderFiles.h"

#include <filesystem>
#include <system_error>

#include "ChildProcess.h"

namespace fs = std::filesystem;

FolderFileMap FolderFiles(const std::string& folder, const std::function<bool(const std::string&)>& skip) {
  FolderFileMap files;
  std::error_code error;
  if (!fs::exists(folder, error)) return files;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string rel = fs::relative(it->path(), folder).string();
    if (it->is_directory()) {
      if (skip && skip(rel + "/")) it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file() && !(skip && skip(rel))) files[rel] = ReadWholeFile(it->path().string());
  }
  return files;
}

std::string FolderChanges(const FolderFileMap& before, const FolderFileMap& after) {
  std::string text;
  for (const auto& [rel, bytes] : before) {
    const auto now = after.find(rel);
    if (now == after.end()) text += " -" + rel;
    else if (now->second != bytes) text += " ~" + rel;
  }
  for (const auto& entry : after)
    if (before.count(entry.first) == 0) text += " +" + entry.first;
  return text;
}
