// One client per desktop: the shared block that names the running client
// (word 0 its pid, word 1 its main window once that can answer), how a second
// start asks that client to come forward, and how it ends one that cannot.
#pragma once

#include <platform/Win32Types.h>

#include "NamedShareMem.h"

// The message a second client sends to the running one's main window, and
// the running client's answers.
constexpr unsigned int WM_ACTIVATE_MAIN = 0x590;
constexpr unsigned int ACTIVATE_REPLY_OK = 0x11110001;
constexpr unsigned int ACTIVATE_REPLY_WAIT = 0x11110002;

extern const char* const kMainInstanceBlock;

class CInstanceBlock {
 public:
  DWORD open();
  // 1 when a running client answered and raised itself; 0 when this process
  // now owns the block.
  int checkInstance();
  // Ends the recorded client, waiting waitMs for it first. False when none was
  // recorded; *killError gets 0 or why it could not be ended.
  bool stopPrevInstance(int waitMs, DWORD* killError = nullptr);
  // True while the block names another live client that has no window yet.
  bool clientStillStarting();
  // Records this client's window, once it can answer the activation message.
  void setMainWnd(int pid, int hwnd);
  // Empties the block if it still names this process.
  void clear();
  // Word 0 (pid) and word 1 (window) of the block; 0 when it is not open.
  int word(int index);
  // Time the running client gets to answer the activation message.
  void setActivateTimeoutForTest(unsigned ms) { activateTimeoutMs_ = ms; }

 private:
  CNamedShareMem mem_;
  unsigned activateTimeoutMs_ = 2000;
};
