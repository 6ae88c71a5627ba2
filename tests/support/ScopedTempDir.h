// A fresh folder under the system's temporary folder, removed with all it
// holds when the owner goes.
#pragma once

#include <filesystem>
#include <string>

class ScopedTempDir {
 public:
  // A prefix with a space and non-ASCII characters, as a user's program
  // folder may have: for code that builds paths from the folder's name.
  static constexpr const char* kAwkwardPrefix = "upd\xC3\xA4te with space";

  // prefix names the folder ("corvane-<prefix>-XXXXXX"); path() is empty
  // when the system gave none.
  explicit ScopedTempDir(const std::string& prefix = "test");
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }
  // The folder with the separator at the end, as the updater writes folders;
  // empty when there is none.
  std::string folder() const;
  // The same in UTF-16/32 form, decoded as UTF-8 whatever the locale.
  std::wstring wideFolder() const;
  // Writes bytes to name (folders created as needed); the file's path.
  std::string put(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};
