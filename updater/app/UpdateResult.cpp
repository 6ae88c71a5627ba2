#include "UpdateResult.h"

static const char* const kNames[] = {
    "URC_NO_ERR",           "URC_UNKNOW_ERR",          "URC_PARAM_ERR",        "URC_NEED_RESETUP",
    "URC_USR_CANCEL",       "URC_DOWNLOAD_ERR",        "URC_SVR_ERR",          "URC_LOCAL_STATE_ERR",
    "URC_START_NEWUPDATE_ERR", "URC_LOCAL_UPDATE_ERR", "URC_START_APP_ERR",    "URC_LOCAL_FILE_COPY_ERR",
    "BUTT"};

bool IsUpdateFailure(int code) { return code >= URC_UNKNOW_ERR && code <= URC_BUTT; }

bool IsHandOver(int code) { return code > URC_BUTT; }

const char* UpdateResultName(int code) {
  if (code < 0) return "Unknown";
  if (IsHandOver(code)) return "NewPID";
  return kNames[code];
}

int UpdateExitStatus(int code) {
  if (IsHandOver(code)) return kHandOverExitCode;
  return code & 0xFF;
}
