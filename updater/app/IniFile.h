// A private-profile ini file read through the kernel's profile calls; nothing
// is cached, so a file replaced on disk is seen by the next read.
#pragma once

#include <string>
#include <utility>
#include <vector>

// One whole section: its name and its key/value pairs in file order.
struct SIniSection {
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> values;
};

class CIniFile {
 public:
  virtual ~CIniFile() = default;

  virtual void SetFile(const std::wstring& path);
  // Rewrites a value after it was read; CIniFile leaves it as it is.
  virtual void Expand(std::wstring& text);

  const std::wstring& GetPath() const { return path_; }

  // A value cut to size - 1 characters; a missing key gives the default (the
  // empty text for a null one). The result is expanded.
  std::wstring GetString(const wchar_t* section, const wchar_t* key, const wchar_t* def, int size);
  // Leading sign and digits of the value; 0 when there are none.
  int GetInt(const wchar_t* section, const wchar_t* key);
  // Every entry of the section, values expanded, keys not. False when the
  // file cannot be opened, and with ERROR_BAD_FORMAT as the last error on an
  // entry without '=' (the pairs before it stay in the output).
  bool GetSection(const std::wstring& section, SIniSection& out);
  // Whether the file has a section of that name (names compare without case).
  bool HasSection(const std::wstring& section);

 private:
  std::wstring path_;
};
