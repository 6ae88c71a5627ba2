// The steps of an update that change the machine: handing the run over to a
// newer updater, moving the fetched files into the program folder section by
// section between the description's stop, check and setup commands, taking
// the new description as the installed one, and starting the client.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct SFingerItem;
struct SFingerSection;
class CIniFile;
struct SUpdateState;

struct SRunOptions {
  bool admin = false;
  std::wstring waitMode = L"WAITEXIT";
  bool doWhenExist = false;
};

class CLocalInstall {
 public:
  // Fetches the listed items into a folder (the update thread's transfer).
  using DownFilesFn = std::function<bool(std::vector<SFingerItem*>& items, const std::wstring& folder)>;

  CLocalInstall(SUpdateState& state, DownFilesFn downFiles);
  // Called after each installed file and each finished command: the
  // dialog's watchdog takes it as a sign of life.
  void SetAliveFn(std::function<void()> alive) { m_alive = std::move(alive); }

  // 0 to go on, a result code, or the process id of the new updater.
  int UpdateSelfExe();
  // The new updater's process id; 0 when it could not start, 1 when its file is missing.
  int StartNewUpdate();
  int LocalVerUpdate();
  int UpdateSection(SFingerSection* section);
  int DealItemJob(SFingerItem* item);
  bool StartMainExe();
  // 0, the program's exit code, or the error of starting it; 1460 with
  // commandStalled set when the wait for it was given up on.
  int RunCmd(CIniFile& ini, const std::wstring& section, const wchar_t* key, bool required);

  // Takes the run options off the end of a command (case-sensitive; each
  // must follow at least one other character).
  static void ParseRunOptions(std::wstring& command, SRunOptions& options);

 private:
  // The description's updater file name, as items name it.
  std::wstring UpdaterName() const;
  bool Holds(const std::vector<SFingerItem*>& items, const std::wstring& name) const;

  SUpdateState& m_state;
  DownFilesFn m_downFiles;
  std::function<void()> m_alive;
};
