#include "ScopedTempDir.h"

#include <stdlib.h>

#include <fstream>
#include <system_error>

ScopedTempDir::ScopedTempDir(const std::string& prefix) {
  std::error_code error;
  std::string pattern = (std::filesystem::temp_directory_path(error) / ("corvane-" + prefix + "-XXXXXX")).string();
  if (!error && mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScopedTempDir::~ScopedTempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScopedTempDir::folder() const { return ok() ? path_.string() + "/" : std::string(); }

std::wstring ScopedTempDir::wideFolder() const {
  if (!ok()) return {};
  // path::wstring() decodes by the locale, which is "C" in a test.
  const std::u32string wide = path_.u32string();
  return std::wstring(wide.begin(), wide.end()) + L"/";
}

std::string ScopedTempDir::put(const std::string& name, const std::string& bytes) const {
  const std::string file = folder() + name;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
  return file;
}
