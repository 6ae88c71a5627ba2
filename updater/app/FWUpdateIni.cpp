#include "FWUpdateIni.h"

#include "UpdaterAppDir.h"

const wchar_t kVerSection[] = L"VER";
const wchar_t kDefaultUpdateExe[] = L"Tessarel.exe";
const wchar_t kOrgParamVar[] = L"%ORGPARAM%";
const wchar_t kAppDirVar[] = L"%APPDIR%";

void CFWUpdateIni::SetFile(const std::wstring& path) {
  CIniFile::SetFile(path);
  SetVar(kAppDirVar, GetUpdaterAppDir());
}

void CFWUpdateIni::SetVar(const std::wstring& name, const std::wstring& value) { vars_[name] = value; }

void CFWUpdateIni::Expand(std::wstring& text) {
  for (const auto& [name, value] : vars_) {
    if (name.empty()) continue;
    for (size_t at = text.find(name); at != std::wstring::npos; at = text.find(name, at + value.size()))
      text.replace(at, name.size(), value);
  }
}

std::wstring GetIniVersion(CIniFile& ini) { return ini.GetString(kVerSection, L"Ver", L"0.0.0", kVerSize); }

std::wstring GetMainSection(CIniFile& ini) {
  const int iniVer = ini.GetInt(kVerSection, L"INIVer");
  if (iniVer <= 1) return L"MAIN";
  return L"MAIN_V" + std::to_wstring(iniVer);
}

std::wstring LoadUpdateIni(CFWUpdateIni& ini, const std::wstring& path, const std::wstring& cmdLine) {
  ini.SetFile(path);
  ini.SetVar(kOrgParamVar, cmdLine);
  return GetIniVersion(ini);
}

std::wstring GetUpdateExe(CIniFile& ini) {
  const std::wstring name = ini.GetString(GetMainSection(ini).c_str(), L"UpdateExe", kDefaultUpdateExe, kUpdateExeSize);
  return name.empty() ? kDefaultUpdateExe : name;
}

std::wstring GetCommand(CIniFile& ini, const std::wstring& section, const wchar_t* key) {
  return ini.GetString(section.c_str(), key, nullptr, kCommandSize);
}
