// Where the named kernel objects of this user live on disk.
#pragma once

#include <platform/Win32Types.h>

#include <string>

// The per-user folder of named objects: "corvane" in XDG_RUNTIME_DIR when that
// is set and usable, else /tmp/corvane-<uid> (mode 0700, checked to be ours).
// Empty with *error set when neither can be used.
std::string NamedObjectFolder(DWORD* error);

// The file of one named object: the kind, then the name made safe for a file
// name. "Local\" names the same object as no prefix, as in a Windows session.
std::string NamedObjectPath(const std::string& folder, const char* kind, const std::wstring& name);
