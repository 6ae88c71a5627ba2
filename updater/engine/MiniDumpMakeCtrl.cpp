#include "MiniDumpMakeCtrl.h"

#include <platform/DbgHelp.h>
#include <platform/ExceptionFilter.h>
#include <platform/Kernel.h>
#include <platform/KernelOwners.h>

#include <atomic>
#include <cwchar>

static std::atomic<CMiniDumpMakeCtrl*> s_maker{nullptr};

void CMiniDumpMakeCtrl::GetDumpText(std::wstring& text) { text.clear(); }

void CMiniDumpMakeCtrl::InstallFilter(CMiniDumpMakeCtrl* maker) {
  s_maker.store(maker);
  SetUnhandledExceptionFilter(&CMiniDumpMakeCtrl::TopLevelFilter);
}

// Own encoder instead of the Qt-based one: this runs inside a crash.
static void AppendUtf8(const std::wstring& text, std::string* out) {
  for (wchar_t wc : text) {
    uint32_t c = static_cast<uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (c >> 6)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (c >> 12)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (c >> 18)));
      out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

LONG CMiniDumpMakeCtrl::TopLevelFilter(EXCEPTION_POINTERS* exceptionInfo) {
  CMiniDumpMakeCtrl* maker = s_maker.load();
  if (!maker || !exceptionInfo || !exceptionInfo->ExceptionRecord) return EXCEPTION_EXECUTE_HANDLER;
  std::wstring path;
  maker->GetDumpPath(path);
  const UniqueHandle owner = OwnHandle(
      CreateFileW(path.c_str(), GENERIC_WRITE, /*shareMode=*/0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!owner) return EXCEPTION_EXECUTE_HANDLER;
  const HANDLE file = owner.get();

  MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), exceptionInfo, /*ClientPointers=*/FALSE};
  MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &exception, nullptr, nullptr);

  // The address is printed whole: "%X" of a 64-bit pointer would keep only
  // its low half.
  const EXCEPTION_RECORD& record = *exceptionInfo->ExceptionRecord;
  wchar_t head[96];
  swprintf(head, sizeof(head) / sizeof(head[0]), L"\nException code:0x%X\nFault address:0x%llX\n",
           static_cast<unsigned>(record.ExceptionCode),
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(record.ExceptionAddress)));
  std::wstring text;
  maker->GetDumpText(text);
  std::string trailer;
  AppendUtf8(path + head + text, &trailer);
  trailer.push_back('\0');  // written and counted

  const uint32_t length = static_cast<uint32_t>(trailer.size() + 4);
  const unsigned char lengthBytes[4] = {static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
                                        static_cast<unsigned char>(length >> 16),
                                        static_cast<unsigned char>(length >> 24)};
  LONG high = 0;
  SetFilePointer(file, 0, &high, FILE_END);
  DWORD written = 0;
  WriteFile(file, trailer.data(), static_cast<DWORD>(trailer.size()), &written, nullptr);
  WriteFile(file, lengthBytes, sizeof(lengthBytes), &written, nullptr);
  return EXCEPTION_EXECUTE_HANDLER;
}
