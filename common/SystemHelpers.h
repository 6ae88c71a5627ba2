// Operating-system version, processes, file versions and the taskbar, over the
// platform's kernel and shell calls. Results are 0 or a Win32 error number.
#pragma once

#include <QRect>

#include <platform/Win32Types.h>

class QByteArray;
class QString;

struct TaskbarInfo {
  QRect rect;             // screen coordinates; empty when there is no taskbar
  int edge = 0;           // ABE_LEFT 0, ABE_TOP 1, ABE_RIGHT 2, ABE_BOTTOM 3
  bool autoHide = false;
};

bool IsVistaOrLater();

// Starts the UTF-8 command line (program first, Windows quoting) without a
// shell. The process handle goes to *process when asked for (close it with
// CloseHandle), else is closed; *process is null on failure.
DWORD RunProcess(const QByteArray& commandLine, int showWindow, HANDLE* process = nullptr);

// The file's version record as "a.b.c.d"; false and an empty text without one.
bool GetFileVersion(const QString& filePath, QString& version);

// Gives the process waitMs to end by itself, then terminates it with exitCode.
DWORD KillProcess(DWORD processId, UINT exitCode, DWORD waitMs);

void GetTaskbarInfo(TaskbarInfo& info);
