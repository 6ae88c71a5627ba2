// Writes each finished CNetFile from memory to its local path (unpacking a
// "ZF7Z" container), checks it against the update description, and only
// then gives it its listed time. Writing one file overlaps the transfer of
// the next.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "MsgThread.h"
#include "SyncSection.h"

class CNetFile;

enum { DFS_WAIT = 0, DFS_DECODING = 1, DFS_FAILED = 2, DFS_DONE = 3 };

class CDecodeNetFileThead : public CMsgThread {
 public:
  bool PostDecodeFile(CNetFile* file);
  // DFS_FAILED for a file that was never posted.
  int GetDecodeState(CNetFile* file);
  // Tests of the real program hold each unpacked container this long between
  // its write and its check, to end the process there; 0 (the product)
  // never waits.
  void SetPauseAfterUnpack(DWORD ms) { m_pauseAfterUnpackMs = ms; }

 protected:
  void DealUsrMsg(CMsg* msg) override;

 private:
  void OnDecodeFileMsg(CNetFile* file);
  void SetState(CNetFile* file, int state);
  static bool WriteDataToFile(const std::wstring& path, std::string_view data);

  CSyncSection m_lock;
  std::map<CNetFile*, int> m_states;
  DWORD m_pauseAfterUnpackMs = 0;
};
