// A temporary folder removed with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-upd-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return m_path; }
  // The folder as the updater writes it: with the separator at the end.
  std::wstring Folder() const { return m_path.wstring() + L"/"; }

 private:
  std::filesystem::path m_path;
};
