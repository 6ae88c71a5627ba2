// The program folder the updater works on. An updater started from the
// staging folder (UpdateVer/ of the program folder, where a self-update
// starts the new one) still works on the folder above it.
#pragma once

#include <string>

// The folder of the executable at that path, with a trailing '/', and
// without a trailing "UpdateVer/" (exact comparison).
std::wstring ProgramFolderOfExe(const std::wstring& exePath);
// ProgramFolderOfExe of the running executable.
std::wstring GetUpdaterAppDir();
