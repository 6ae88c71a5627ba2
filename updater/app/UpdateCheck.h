// The update's decisions before anything is fetched or installed: the
// versions, whether the installed files are current, whether the fetched
// description can be installed, and which items to fetch and to install.
#pragma once

#include <string>

struct SUpdateState;

class CUpdateCheck {
 public:
  explicit CUpdateCheck(SUpdateState& state) : m_state(state) {}

  // Loads both descriptions (a missing one reads as version 0.0.0).
  void InitUpdate();
  // Shows the installed description's job text, when it names one.
  void ShowJobString();
  // With the target equal to the installed version: 0 and *done when nothing
  // needs fetching (the client is only started), else 0 to go on. The
  // noupdate list of UserCfg.ini is in force from here on.
  int CheckLocal(bool* done);
  // 0 "Compatible" when the installed main section loads and is current.
  int CheckMainDirVer();
  // The fetched description is one that can be installed: its version is a
  // version, its main section starts the client, its updater name is a file
  // of the program folder itself. Copying anything else over the installed
  // one would lose the installed version and start command.
  bool ValidateServerDescription();
  // Fills the lists to fetch and to install from the fetched description.
  bool CalculateUpdateFigerFile();

 private:
  SUpdateState& m_state;
};
