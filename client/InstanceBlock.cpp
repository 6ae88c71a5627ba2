#include "InstanceBlock.h"

#include <platform/Kernel.h>
#include <platform/Threads.h>
#include <platform/User.h>

#include <cstdint>

#include "AppLog.h"
#include "SystemHelpers.h"

const char* const kMainInstanceBlock = "CORVANE_MAIN1";

namespace {
constexpr int kInstanceBlockSize = 256;
// How long a second start waits for a starting client to show its window,
// and how often it looks.
constexpr DWORD kStartingClientWaitMs = 10000;
constexpr DWORD kStartingClientPollMs = 20;
}  // namespace

DWORD CInstanceBlock::open() { return mem_.open(kMainInstanceBlock, kInstanceBlockSize); }

int CInstanceBlock::word(int index) {
  CNamedShareMem::Guard guard(mem_);
  const int* words = mem_.data();
  return words != nullptr && index >= 0 && index < 2 ? words[index] : 0;
}

bool CInstanceBlock::clientStillStarting() {
  CNamedShareMem::Guard guard(mem_);
  const int* words = mem_.data();
  if (words == nullptr || words[0] == 0 || words[1] != 0) return false;
  const DWORD pid = static_cast<DWORD>(words[0]);
  return pid != GetCurrentProcessId() && ProcessRunsOwnExecutable(pid);
}

int CInstanceBlock::checkInstance() {
  // A client records itself long before its window can answer (its own
  // start-up runs in between): give it the time to publish the window instead
  // of ending it as a hung one. The mutex is free meanwhile, so it can.
  const DWORD begin = GetTickCount();
  while (GetTickCount() - begin < kStartingClientWaitMs && clientStillStarting()) Sleep(kStartingClientPollMs);
  // Held across the message on purpose: reading the block, asking its client,
  // ending it and recording this one are one decision; released in between,
  // two starts could both take the block, or one end the client the other had
  // just recorded. The answer takes no lock, so the wait ends at the time-out.
  CNamedShareMem::Guard guard(mem_);
  int* words = mem_.data();
  if (words == nullptr) return 0;
  if (words[0] != 0) {
    int waitMs = 0;
    if (words[1] != 0) {
      ULONG_PTR reply = 0;
      // The window id travels as the 32-bit word it is stored in.
      const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<unsigned>(words[1])));
      SendMessageTimeoutW(window, WM_ACTIVATE_MAIN, 0, 0, SMTO_BLOCK, activateTimeoutMs_, &reply);
      if (reply == ACTIVATE_REPLY_OK) return 1;
      if (reply == ACTIVATE_REPLY_WAIT) waitMs = 2000;
    }
    stopPrevInstance(waitMs);
  }
  words[0] = static_cast<int>(GetCurrentProcessId());
  words[1] = 0;
  return 0;
}

bool CInstanceBlock::stopPrevInstance(int waitMs, DWORD* killError) {
  if (killError != nullptr) *killError = 0;
  AppLogInf("Stop pre-Corvane_instace...");
  CNamedShareMem::Guard guard(mem_);
  int* words = mem_.data();
  if (words == nullptr || words[0] == 0) return false;
  const DWORD pid = static_cast<DWORD>(words[0]);
  MainLogDbg("Corvane: kill pre-instace pid:%d, wait:%d", static_cast<int>(pid), waitMs);
  DWORD error = 0;
  if (pid == GetCurrentProcessId()) {
    error = ERROR_ACCESS_DENIED;
  } else if (!ProcessRunsOwnExecutable(pid)) {
    // The pid was handed to another program since: never end it in our place.
    error = ERROR_ACCESS_DENIED;
  } else {
    error = KillProcess(pid, GetCurrentProcessId(), static_cast<DWORD>(waitMs));
  }
  if (error != 0) {
    AppLogWar("Corvane: terminate pre-instace Err! (err:%d)", static_cast<int>(error));
  } else {
    AppLogDbg("Corvane: kill pre-instace pid:%d, success!", static_cast<int>(pid));
  }
  if (killError != nullptr) *killError = error;
  words[0] = 0;
  words[1] = 0;
  return true;
}

void CInstanceBlock::setMainWnd(int pid, int hwnd) {
  CNamedShareMem::Guard guard(mem_);
  int* words = mem_.data();
  if (words == nullptr) return;
  words[0] = pid;
  words[1] = hwnd;
}

void CInstanceBlock::clear() {
  if (!mem_.isOpen()) return;
  CNamedShareMem::Guard guard(mem_);
  int* words = mem_.data();
  if (words != nullptr && words[0] == static_cast<int>(GetCurrentProcessId())) {
    words[0] = 0;
    words[1] = 0;
  }
}
