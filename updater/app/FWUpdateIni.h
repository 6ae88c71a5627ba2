// The update description's reader: an ini file whose values may hold the
// variables %APPDIR% (the program folder) and %ORGPARAM% (the updater's
// command-line text).
#pragma once

#include <map>
#include <string>

#include "IniFile.h"

class CFWUpdateIni : public CIniFile {
 public:
  // Stores the path, then sets %APPDIR% to the program folder.
  void SetFile(const std::wstring& path) override;
  // Each variable in name order, every occurrence, case-sensitive. A
  // replacement is not searched again for the same name, but a later name it
  // brought in is replaced in turn.
  void Expand(std::wstring& text) override;

  void SetVar(const std::wstring& name, const std::wstring& value);

 private:
  std::map<std::wstring, std::wstring> vars_;
};

// The version section and the main section's keys, with their sizes and defaults.
extern const wchar_t kVerSection[];            // "VER"
extern const wchar_t kDefaultUpdateExe[];      // the updater's file name when none is given
extern const wchar_t kOrgParamVar[];           // "%ORGPARAM%"
extern const wchar_t kAppDirVar[];             // "%APPDIR%"
constexpr int kVerSize = 32;
constexpr int kUpdateExeSize = 256;
constexpr int kJobStringSize = 32;
constexpr int kCommandSize = 512;
constexpr int kSectionTypeSize = 64;

// `Ver` of section VER, "0.0.0" when missing.
std::wstring GetIniVersion(CIniFile& ini);
// "MAIN" for INIVer 1 or less (or none), else "MAIN_V<INIVer>", of that same file.
std::wstring GetMainSection(CIniFile& ini);
// Points the reader at one copy of the description, gives it the command
// line as %ORGPARAM% and returns its version.
std::wstring LoadUpdateIni(CFWUpdateIni& ini, const std::wstring& path, const std::wstring& cmdLine);
// `UpdateExe` of the main section; the default also when present but empty.
std::wstring GetUpdateExe(CIniFile& ini);
// A command key (StartCmd, StopCmd, CheckCmd, SetupCmd) of a section, cut to 511 characters.
std::wstring GetCommand(CIniFile& ini, const std::wstring& section, const wchar_t* key);
