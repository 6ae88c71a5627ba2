// The updater's user-visible texts in its two languages, and the one
// process-wide choice between them.
#pragma once

#include <string>

enum { LANG_EN_US = 0, LANG_ZH_CN = 1 };

enum EMsgRow {
  MSG_MAIN_COMPONENTS = 0,
  MSG_TITLE = 1,
  MSG_UNKNOWN_ERR = 2,
  MSG_UPDATING_FILES = 3,
  MSG_UPDATING_JOB = 4,
  MSG_WARNING = 5,
  MSG_ERROR = 6,
  MSG_CLOSE_QUESTION = 7,
  MSG_STARTING = 8,
  MSG_INVALID_PARAM = 9,
  MSG_VERSION_STOPPED = 10,
  MSG_INVALID_INFO = 11,
  MSG_DOWNLOAD_FAILED = 12,
  MSG_SERVER_ERR = 13,
  MSG_LOCAL_ERR = 14,
  MSG_START_NEWUPDATE_FAILED = 15,
  MSG_LOCAL_UPDATE_FAILED = 16,
  MSG_START_APP_FAILED = 17,
  MSG_FILE_UPDATE_FAILED = 18,
  MSG_OK = 19,
  MSG_LOW_DISK = 20,
  MSG_ROWS = 21,
};

// "en_US" or "zh_CN", compared exactly; anything else logs an error and
// keeps English. False then.
bool SelectLanguage(const std::wstring& name);
int SelectedLanguage();
// The row in the selected language; a row outside the table gives the
// unknown-error row.
const wchar_t* GetMsg(int row);
