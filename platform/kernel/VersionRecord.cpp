#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Log.h>

#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "ElfNoteReader.h"

// The note written by cmake/VersionRecord.cmake; both sides must agree.
static const char kNoteOwner[] = "Corvane";
static constexpr uint32_t kNoteType = 0x31524556;  // "VER1" read as little-endian bytes

// The block GetFileVersionInfoW fills: a tag, so VerQueryValueW can tell our
// block from any other bytes, then the fixed record.
static constexpr DWORD kBlockTag = 0x4B4C4256;  // "VBLK"
struct VersionBlock {
  DWORD tag;
  DWORD size;
  VS_FIXEDFILEINFO fixed;
};

// ERROR_SUCCESS, or the error number why the file has no usable record.
static DWORD ReadFixedInfo(LPCWSTR fileName, VS_FIXEDFILEINFO* fixed) {
  if (!fileName || !*fileName) return ERROR_INVALID_PARAMETER;
  const std::string path = WideToUtf8(fileName);
  std::vector<uint8_t> descriptor;
  switch (ReadElfNote(path, kNoteOwner, kNoteType, &descriptor)) {
    case ElfNoteResult::OpenFailed:
      return Win32ErrorFromErrno(errno);
    case ElfNoteResult::NotElf:
    case ElfNoteResult::NotFound:
      return ERROR_RESOURCE_TYPE_NOT_FOUND;
    case ElfNoteResult::Malformed:
      PlatformLog("GetFileVersionInfo: \"%s\" is a malformed ELF file", path.c_str());
      return ERROR_RESOURCE_TYPE_NOT_FOUND;
    case ElfNoteResult::Found:
      break;
  }
  // A longer record from a later build keeps these fields first.
  if (descriptor.size() < sizeof(VS_FIXEDFILEINFO)) {
    PlatformLog("GetFileVersionInfo: version note of \"%s\" has %zu bytes", path.c_str(), descriptor.size());
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  }
  std::memcpy(fixed, descriptor.data(), sizeof(*fixed));
  if (fixed->dwSignature != VS_FFI_SIGNATURE) {
    PlatformLog("GetFileVersionInfo: version note of \"%s\" has signature 0x%08x", path.c_str(), fixed->dwSignature);
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  }
  return ERROR_SUCCESS;
}

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) {
  if (handle) *handle = 0;
  VS_FIXEDFILEINFO fixed;
  const DWORD error = ReadFixedInfo(fileName, &fixed);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return 0;
  }
  return sizeof(VersionBlock);
}

// A buffer too small for the block fails whole (ERROR_INSUFFICIENT_BUFFER)
// rather than holding a cut record that a later query would read past.
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD, DWORD length, LPVOID data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (length < sizeof(VersionBlock)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  VersionBlock block = {kBlockTag, sizeof(VersionBlock), {}};
  const DWORD error = ReadFixedInfo(fileName, &block.fixed);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  std::memcpy(data, &block, sizeof(block));
  return TRUE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length) {
  if (!block || !subBlock || !buffer || !length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  VersionBlock header;
  std::memcpy(&header, block, offsetof(VersionBlock, fixed));
  if (header.tag != kBlockTag || header.size != sizeof(VersionBlock)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Only the root: the string tables and translations are not written.
  if (std::wcscmp(subBlock, L"\\") != 0) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  *buffer = const_cast<uint8_t*>(static_cast<const uint8_t*>(block) + offsetof(VersionBlock, fixed));
  *length = sizeof(VS_FIXEDFILEINFO);
  return TRUE;
}
