// A fresh folder under the system's temporary folder, removed with all it
// holds when the owner goes.
#pragma once

#include <filesystem>
#include <string>

class ScopedTempDir {
 public:
  // prefix names the folder ("corvane-<prefix>-XXXXXX"); path() is empty
  // when the system gave none.
  explicit ScopedTempDir(const std::string& prefix = "test");
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};
