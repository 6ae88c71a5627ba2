#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Log.h>
#include <platform/Unique.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtGlobal>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Pidfd.h"
#include "PosixIo.h"
#include "ProcessObject.h"
#include "ThreadObject.h"

extern char** environ;

namespace {

class SpawnFileActions {
 public:
  SpawnFileActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { posix_spawnattr_init(&attributes_); }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  posix_spawnattr_t* get() { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

}  // namespace

static BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

static std::string CurrentFolder() {
  std::vector<char> buffer(PATH_MAX);
  if (!getcwd(buffer.data(), buffer.size())) return std::string();
  return buffer.data();
}

// Windows starts any program file it may read. Files written here from
// memory (a fetched updater or client, unpacked by the updater) carry no
// execute bits: a program file gets them, where it may be read, when it is
// started. Other files stay as they are and fail to start as before.
static void MakeProgramRunnable(const std::string& program) {
  struct stat info;
  if (stat(program.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || (info.st_mode & S_IXUSR)) return;
  const UniqueFd fd(open(program.c_str(), O_RDONLY | O_CLOEXEC));
  char magic[4] = {};
  if (!fd || !ReadFully(fd.get(), magic, sizeof magic) || std::memcmp(magic, "\x7f" "ELF", 4) != 0) return;
  const mode_t readable = info.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
  if (chmod(program.c_str(), (info.st_mode & 07777) | (readable >> 2)) == 0)
    PlatformLog("CreateProcess: \"%s\" had no execute bits; given them to start it", program.c_str());
}

static DWORD StartChild(const std::string& program, bool searchPath, const std::vector<std::string>& args,
                        const char* folder, pid_t* pid) {
  SpawnFileActions actions;
  // Our descriptors (sockets, lock files, pidfds) are no business of the
  // child, whatever flags they were opened with.
  posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
  if (folder) posix_spawn_file_actions_addchdir_np(actions.get(), folder);

  // A signal we ignore (SIGPIPE, for one) or block in this thread would stay
  // ignored or blocked in the child; a Windows child starts clean.
  SpawnAttributes attributes;
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(attributes.get(), &all);
  posix_spawnattr_setsigmask(attributes.get(), &none);
  posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  // posix_spawn returns its error instead of setting errno.
  const int rc = searchPath ? posix_spawnp(pid, program.c_str(), actions.get(), attributes.get(), argv.data(), environ)
                            : posix_spawn(pid, program.c_str(), actions.get(), attributes.get(), argv.data(), environ);
  if (rc != 0) {
    PlatformLog("CreateProcess: starting \"%s\" failed, errno %d", program.c_str(), rc);
    return Win32ErrorFromErrno(rc);
  }
  return ERROR_SUCCESS;
}

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL /*inheritHandles: our descriptors are never Windows handles to inherit*/, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
  if (!startupInfo || !processInformation || (!applicationName && !commandLine)) {
    PlatformLog("CreateProcess: no command, start-up record or process record");
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if ((creationFlags & ~CREATE_NO_WINDOW) != 0 || environment) {
    PlatformLog("CreateProcess: creation flags 0x%x or an own environment are not supported", creationFlags);
    return Fail(ERROR_INVALID_PARAMETER);
  }
  ReapClosedChildren();

  std::vector<std::string> args;
  for (const std::wstring& arg : SplitCommandLine(commandLine ? commandLine : L"")) args.push_back(WideToUtf8(arg));
  std::string program = applicationName ? WideToUtf8(applicationName) : (args.empty() ? std::string() : args[0]);
  if (program.empty()) {
    PlatformLog("CreateProcess: the command names no program");
    return Fail(ERROR_FILE_NOT_FOUND);
  }
  if (args.empty()) args.push_back(program);
  // Windows searches the path only for a bare name from the command line; an
  // application name is relative to our folder, as is any relative path, which
  // the child's own folder must not change.
  const bool searchPath = !applicationName && program.find('/') == std::string::npos;
  if (!searchPath && program[0] != '/') {
    const std::string here = CurrentFolder();
    if (here.empty()) return Fail(Win32ErrorFromErrno(errno));
    program = here + "/" + program;
  }

  std::string folder;
  if (currentDirectory) {
    folder = WideToUtf8(currentDirectory);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      PlatformLog("CreateProcess: current folder \"%s\" is not a folder", folder.c_str());
      return Fail(ERROR_DIRECTORY);
    }
  }

  if (!searchPath) MakeProgramRunnable(program);
  pid_t pid = 0;
  const DWORD error = StartChild(program, searchPath, args, currentDirectory ? folder.c_str() : nullptr, &pid);
  if (error != ERROR_SUCCESS) return Fail(error);

  // Our own unreaped child: its pid cannot be reused before we wait for it.
  UniqueFd pidfd(PidfdOpen(pid));
  if (!pidfd.valid()) {
    const int err = errno;
    PlatformLog("CreateProcess: pidfd_open(%d) failed, errno %d; child ended", pid, err);
    // A child nobody could wait for or end must not outlive a failed start.
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return Fail(Win32ErrorFromErrno(err));
  }
  auto process = std::make_shared<ProcessObject>(std::move(pidfd), pid, /*child=*/true, ReadProcessIdentity(pid));
  processInformation->hThread = RegisterObject(std::make_shared<ThreadObject>(process));
  processInformation->hProcess = RegisterObject(std::move(process));
  processInformation->dwProcessId = static_cast<DWORD>(pid);
  processInformation->dwThreadId = static_cast<DWORD>(pid);  // the main thread's id is the pid
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
  if (!startupInfo) return Fail(ERROR_INVALID_PARAMETER);
  // Only the show-window fields matter to the wide call, and X11 programs
  // have no use for them either.
  STARTUPINFOW wideInfo = {};
  wideInfo.cb = sizeof(wideInfo);
  wideInfo.dwFlags = startupInfo->dwFlags;
  wideInfo.wShowWindow = startupInfo->wShowWindow;
  std::wstring app = Utf8ToWide(applicationName);
  std::wstring line = Utf8ToWide(commandLine);
  std::wstring folder = Utf8ToWide(currentDirectory);
  return CreateProcessW(applicationName ? app.c_str() : nullptr, commandLine ? &line[0] : nullptr, processAttributes,
                        threadAttributes, inheritHandles, creationFlags, environment,
                        currentDirectory ? folder.c_str() : nullptr, &wideInfo, processInformation);
}

HANDLE OpenProcess(DWORD desiredAccess, BOOL, DWORD processId) {
  if (processId == 0 || processId > static_cast<DWORD>(INT_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const pid_t pid = static_cast<pid_t>(processId);
  UniqueFd pidfd(PidfdOpen(pid));
  if (!pidfd.valid()) {
    // ESRCH, a pid that does not exist, is ERROR_INVALID_PARAMETER as on Windows.
    SetLastError(Win32ErrorFromErrno(errno));
    return nullptr;
  }
  const ProcessIdentity identity = ReadProcessIdentity(pid);
  // Read after the pidfd exists: if the signal still reaches the pidfd's
  // process, the /proc entries we read were that process's, not a successor's.
  if (PidfdSendSignal(pidfd.get(), 0) != 0) {
    const int err = errno;
    if (err != EPERM || (desiredAccess & PROCESS_TERMINATE) != 0) {
      SetLastError(err == ESRCH ? ERROR_INVALID_PARAMETER : Win32ErrorFromErrno(err));
      return nullptr;
    }
  }
  SetLastError(ERROR_SUCCESS);
  return RegisterObject(std::make_shared<ProcessObject>(std::move(pidfd), pid, /*child=*/false, identity));
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  // Ending ourselves skips every destructor and atexit handler, as Windows
  // does; the parent sees the code's low 8 bits (Linux keeps no more).
  if (process == GetCurrentProcess()) _exit(static_cast<int>(exitCode & 0xFFu));
  auto object = LookupObjectAs<ProcessObject>(process);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  return object->Terminate(exitCode);
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  if (!exitCode) return Fail(ERROR_INVALID_PARAMETER);
  if (process == GetCurrentProcess()) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  auto object = LookupObjectAs<ProcessObject>(process);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  return object->GetExitCode(exitCode);
}
