// Path helpers. Paths use '/'; Linux paths have no drive.
#pragma once

#include <string>

// folder: everything up to and including the last '/' (a '/' is appended to
// a folder that lacks one); name: the rest. Either output may be null.
void SplitFilePath(const std::wstring& path, std::wstring* folder, std::wstring* name);
// Always the empty text here, so drive + "/" is the root folder.
void GetPathDrive(const std::wstring& path, std::wstring& drive);
// The path the program started from, even after the install renamed it; at
// most MAX_PATH - 1 characters, as the design reads it.
void GetModulePath(std::wstring& path);
void GetModuleDirAndName(std::wstring* folder, std::wstring* name);
// A file or a folder (or a link, which is not followed).
bool IsPathExist(const std::wstring& path);
