#include "MiniDumpMakeCtrl.h"

#include <platform/DbgHelp.h>
#include <platform/ExceptionFilter.h>
#include <platform/Kernel.h>
#include <platform/KernelOwners.h>

#include <QByteArray>
#include <atomic>
#include <cstring>

#include "PathText.h"

static std::atomic<CMiniDumpMakeCtrl*> s_instance{nullptr};

// Upper-case hexadecimal without leading zeros, as "%X" prints it; no stdio
// or allocation, since this runs in a crash.
static size_t AppendHex(uint64_t value, char* out) {
  static const char kDigits[] = "0123456789ABCDEF";
  char reversed[16];
  size_t n = 0;
  do {
    reversed[n++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (size_t i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  return n;
}

static size_t AppendLiteral(const char* text, char* out) {
  const size_t length = strlen(text);
  memcpy(out, text, length);
  return length;
}

// "\nException code:0x<code>\nFault address:0x<address>\n". The address is
// printed whole: on a 64-bit process "%X" would keep only its low half.
static size_t FormatTrailerHead(DWORD code, uint64_t address, char* out) {
  size_t n = AppendLiteral("\nException code:0x", out);
  n += AppendHex(code, out + n);
  n += AppendLiteral("\nFault address:0x", out + n);
  n += AppendHex(address, out + n);
  out[n++] = '\n';
  return n;
}

CMiniDumpMakeCtrl::CMiniDumpMakeCtrl()
    : m_dumpPath(QStringLiteral("log/") + CreateUuidText() + QStringLiteral(".dmp")),
      m_dumpPathWide(m_dumpPath.toStdWString()) {}

void CMiniDumpMakeCtrl::InstallFilter(CMiniDumpMakeCtrl* instance) {
  s_instance.store(instance);
  SetUnhandledExceptionFilter(&CMiniDumpMakeCtrl::TopLevelFilter);
}

LONG CMiniDumpMakeCtrl::TopLevelFilter(EXCEPTION_POINTERS* exceptionInfo) {
  CMiniDumpMakeCtrl* self = s_instance.load();
  if (!self || !exceptionInfo || !exceptionInfo->ExceptionRecord) return EXCEPTION_EXECUTE_HANDLER;
  UniqueHandle file = OwnHandle(CreateFileW(self->m_dumpPathWide.c_str(), GENERIC_WRITE, /*shareMode=*/0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return EXCEPTION_EXECUTE_HANDLER;

  MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), exceptionInfo, /*ClientPointers=*/TRUE};
  MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), MiniDumpNormal, &exception, nullptr,
                    nullptr);

  const EXCEPTION_RECORD& record = *exceptionInfo->ExceptionRecord;
  char head[96];
  const size_t headLength =
      FormatTrailerHead(record.ExceptionCode, reinterpret_cast<uint64_t>(record.ExceptionAddress), head);
  QByteArray text;
  self->GetDumpInfo(self->m_dumpPath, text);

  // The length word counts the text and itself, so a reader finds the text
  // at (file size - length).
  const uint32_t length = static_cast<uint32_t>(headLength + static_cast<size_t>(text.size()) + 4);
  const unsigned char lengthBytes[4] = {static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
                                        static_cast<unsigned char>(length >> 16),
                                        static_cast<unsigned char>(length >> 24)};
  LONG high = 0;
  SetFilePointer(file.get(), 0, &high, FILE_END);
  DWORD written = 0;
  WriteFile(file.get(), head, static_cast<DWORD>(headLength), &written, nullptr);
  WriteFile(file.get(), text.constData(), static_cast<DWORD>(text.size()), &written, nullptr);
  WriteFile(file.get(), lengthBytes, sizeof(lengthBytes), &written, nullptr);
  // Closed before OnDumped: whoever it tells finds the file complete.
  file.reset();

  self->OnDumped();
  return EXCEPTION_EXECUTE_HANDLER;
}
