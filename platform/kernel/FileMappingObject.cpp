#include "FileMappingObject.h"

#include <QtGlobal>

#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Log.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwchar>
#include <map>
#include <mutex>

#include "RuntimeDir.h"

namespace {

struct View {
  std::shared_ptr<FileMappingObject::Section> section;
  size_t length;
};

struct ViewTable {
  std::mutex lock;
  std::map<const void*, View> byAddress;
};

ViewTable& TheViewTable() {
  static ViewTable* table = new ViewTable;  // never destroyed: views may be unmapped during exit
  return *table;
}

}  // namespace

static bool Resize(int fd, size_t size) {
  // Truncating to nothing first drops whatever an earlier life left behind.
  return ftruncate(fd, 0) == 0 && ftruncate(fd, static_cast<off_t>(size)) == 0;
}

static std::shared_ptr<FileMappingObject::Section> OpenNamedSection(LPCWSTR name, size_t size, bool* created,
                                                                    DWORD* error) {
  const std::string folder = NamedObjectFolder(error);
  if (folder.empty()) return nullptr;
  const std::string path = NamedObjectPath(folder, "mapping", name);
  auto start = [size](int fd) { return Resize(fd, size); };
  // The last holder gives the memory back rather than leaving it in the
  // runtime folder until the next creator truncates it.
  auto release = [](int fd) { return ftruncate(fd, 0) == 0; };
  auto section = std::make_shared<FileMappingObject::Section>();
  section->presence = NamedPresence::Join(path, true, start, release, created, error);
  if (!section->presence) return nullptr;
  struct stat info;
  if (fstat(section->fd(), &info) != 0 || info.st_size <= 0) {
    PlatformLog("kernel: mapping file %s has no size, not used", path.c_str());
    *error = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  // An existing section keeps the size its creator gave it.
  section->size = static_cast<size_t>(info.st_size);
  return section;
}

static std::shared_ptr<FileMappingObject::Section> MakeUnnamedSection(size_t size, DWORD* error) {
  auto section = std::make_shared<FileMappingObject::Section>();
  section->anonymous.reset(memfd_create("corvane-mapping", MFD_CLOEXEC));
  if (!section->anonymous.valid() || !Resize(section->anonymous.get(), size)) {
    *error = Win32ErrorFromErrno(errno);
    return nullptr;
  }
  section->size = size;
  return section;
}

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name) {
  const DWORD access = protect & 0xFF;
  const uint64_t size = (static_cast<uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
  // Only memory sections are used by the system; mapping a file is not built.
  if (file != INVALID_HANDLE_VALUE || (access != PAGE_READWRITE && access != PAGE_READONLY) || size == 0 ||
      size > static_cast<uint64_t>(SIZE_MAX / 2)) {
    PlatformLog("kernel: CreateFileMapping(file %p, protect 0x%x, size %llu) not supported", file, protect,
             static_cast<unsigned long long>(size));
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (name && wcslen(name) >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  bool created = true;
  std::shared_ptr<FileMappingObject::Section> section = name && name[0]
                                                             ? OpenNamedSection(name, size, &created, &error)
                                                             : MakeUnnamedSection(size, &error);
  if (!section) {
    SetLastError(error);
    return nullptr;
  }
  section->writable = access == PAGE_READWRITE;
  HANDLE handle = RegisterObject(std::make_shared<FileMappingObject>(std::move(section)));
  SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
  return handle;
}

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR name) {
  if (!name) return CreateFileMappingW(file, attributes, protect, maximumSizeHigh, maximumSizeLow, nullptr);
  return CreateFileMappingW(file, attributes, protect, maximumSizeHigh, maximumSizeLow, Utf8ToWide(name).c_str());
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                     size_t numberOfBytesToMap) {
  std::shared_ptr<FileMappingObject> object = LookupObjectAs<FileMappingObject>(mapping);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const std::shared_ptr<FileMappingObject::Section>& section = object->section();
  const uint64_t offset = (static_cast<uint64_t>(fileOffsetHigh) << 32) | fileOffsetLow;
  const bool write = (desiredAccess & FILE_MAP_WRITE) != 0;
  if (write && !section->writable) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  const size_t length = numberOfBytesToMap ? numberOfBytesToMap : section->size - std::min<uint64_t>(offset, section->size);
  if (offset % page != 0 || offset >= section->size || length > section->size - offset) {
    PlatformLog("kernel: view of %zu bytes at %llu outside a section of %zu bytes", length,
             static_cast<unsigned long long>(offset), section->size);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* view = mmap(nullptr, length, PROT_READ | (write ? PROT_WRITE : 0), MAP_SHARED, section->fd(),
                    static_cast<off_t>(offset));
  if (view == MAP_FAILED) {
    const int err = errno;
    PlatformLog("kernel: mmap of %zu bytes failed, errno %d", length, err);
    SetLastError(Win32ErrorFromErrno(err));
    return nullptr;
  }
  ViewTable& table = TheViewTable();
  std::lock_guard<std::mutex> guard(table.lock);
  table.byAddress[view] = View{section, length};
  return view;
}

BOOL UnmapViewOfFile(LPCVOID baseAddress) {
  View view;
  {
    ViewTable& table = TheViewTable();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.byAddress.find(baseAddress);
    if (it == table.byAddress.end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    view = std::move(it->second);
    table.byAddress.erase(it);
  }
  munmap(const_cast<void*>(baseAddress), view.length);
  // The section may go with the last view, outside the table's lock: leaving
  // it takes the folder's gate.
  return TRUE;
}
