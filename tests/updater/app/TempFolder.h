// A scratch folder whose path holds a space and non-ASCII characters, as a
// user's program folder may; removed with everything in it.
#pragma once

#include <platform/Strings.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane upd\xC3\xA4te-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern + "/";
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Valid() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  std::wstring WPath() const { return Utf8ToWide(path_); }

  std::string Put(const std::string& name, const std::string& bytes) const {
    const std::string path = path_ + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

 private:
  std::string path_;
};
