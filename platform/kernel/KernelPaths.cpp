#include "KernelPaths.h"

#include <limits.h>
#include <sys/stat.h>

#include <cstring>

DWORD NotFoundError(const char* path) {
  size_t end = strlen(path);
  while (end > 1 && path[end - 1] == '/') --end;  // "a/b/" names the folder b
  size_t slash = end;
  while (slash > 0 && path[slash - 1] != '/') --slash;
  if (slash == 0) return ERROR_FILE_NOT_FOUND;  // relative to the current folder, which exists
  const size_t length = slash == 1 ? 1 : slash - 1;
  char parent[PATH_MAX];
  if (length >= sizeof(parent)) return ERROR_PATH_NOT_FOUND;
  memcpy(parent, path, length);
  parent[length] = '\0';
  struct stat info;
  if (stat(parent, &info) == 0 && S_ISDIR(info.st_mode)) return ERROR_FILE_NOT_FOUND;
  return ERROR_PATH_NOT_FOUND;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}
