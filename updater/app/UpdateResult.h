// The update's result codes. A run ends with one of them or with the process
// id of a newer updater that took the run over.
#pragma once

enum EUpdateResult {
  URC_NO_ERR = 0,
  URC_UNKNOW_ERR = 1,
  URC_PARAM_ERR = 2,
  URC_NEED_RESETUP = 3,  // kept for the dialog's message; the update never gives it
  URC_USR_CANCEL = 4,    // likewise: a user close ends the process with -1
  URC_DOWNLOAD_ERR = 5,
  URC_SVR_ERR = 6,          // kept, never given
  URC_LOCAL_STATE_ERR = 7,  // kept, never given
  URC_START_NEWUPDATE_ERR = 8,
  URC_LOCAL_UPDATE_ERR = 9,
  URC_START_APP_ERR = 10,
  URC_LOCAL_FILE_COPY_ERR = 11,
  URC_BUTT = 12,
};

// Linux keeps 8 bits of an exit status, so a newer updater's process id
// cannot be the exit code: a hand-over ends with this code instead (the id
// goes to the log), one above every result code.
constexpr int kHandOverExitCode = 13;

// 1 to 12.
bool IsUpdateFailure(int code);
// A code above 12 is the process id of the updater that took over.
bool IsHandOver(int code);
// "URC_..." for 0 to 12, "NewPID" above, "Unknown" below 0.
const char* UpdateResultName(int code);
// The process's exit status for a run's result: -1 reads as 255, a hand-over
// as kHandOverExitCode, result codes as they are.
int UpdateExitStatus(int code);
