// The updater's command-line parser on arbitrary bytes, read as UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <platform/Strings.h>

#include "PRXCmdLineAnalyse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring argument = Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
  PRXCmdLineAnalyse line;
  if (!line.Parse(argument)) {
    if (!line.ToString(L'\n').empty()) std::abort();  // a refused argument stores no item
    return 0;
  }
  // The re-emitted argument parses to the same items whenever its text can
  // begin with '-' (an empty key or one sorting before '-' cannot).
  const std::wstring items = line.ToString(L'\n');
  if (items.empty() || items[0] != L'-') return 0;
  PRXCmdLineAnalyse again;
  if (!again.Parse(line.ToCmdLine()) || again.ToString(L'\n') != items) std::abort();
  return 0;
}
