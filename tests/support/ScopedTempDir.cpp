#include "ScopedTempDir.h"

#include <stdlib.h>

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
