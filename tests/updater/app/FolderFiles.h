// A program folder's files as the real-updater tests compare them: before and
// after a run, against another version's folder.
#pragma once

#include <functional>
#include <map>
#include <string>

using FolderFileMap = std::map<std::string, std::string>;  // path relative to the folder -> bytes

// Every regular file under folder whose relative path `skip` refuses not; a
// folder `skip` refuses (asked with a trailing '/') is not entered.
FolderFileMap FolderFiles(const std::string& folder,
                          const std::function<bool(const std::string& relative)>& skip = nullptr);

// The paths whose bytes differ (" ~name"), that only before holds (" -name")
// or only after (" +name"); "" when both hold the same.
std::string FolderChanges(const FolderFileMap& before, const FolderFileMap& after);
