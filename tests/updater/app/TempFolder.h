// A scratch folder whose path holds a space and non-ASCII characters, as a
// user's program folder may; removed with everything in it.
#pragma once

#include <platform/Strings.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ScopedTempDir.h"

class TempFolder {
 public:
  TempFolder() : folder_("upd\xC3\xA4te with space") {
    if (folder_.ok()) path_ = folder_.path().string() + "/";
  }

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
  ScopedTempDir folder_;
  std::string path_;
};
