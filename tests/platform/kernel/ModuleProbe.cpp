// A shared library that asks for the module file name from inside itself,
// with its own copy of the kernel layer, as the SDK library does.
#include <platform/Kernel.h>

extern "C" __attribute__((visibility("default"))) DWORD ModuleProbeFileName(wchar_t* buffer, DWORD size) {
  return GetModuleFileNameW(nullptr, buffer, size);
}
