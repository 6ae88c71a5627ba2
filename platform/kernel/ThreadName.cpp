#include <platform/ThreadName.h>

#include <pthread.h>

#include <cstring>
#include <string>

namespace {

// Linux keeps 16 bytes including the terminator.
constexpr size_t kMaxThreadNameBytes = 15;

// Cuts before a UTF-8 continuation byte so the name never ends in half a character.
std::string CutName(const char* name) {
  std::string text(name, strnlen(name, 4096));
  if (text.size() <= kMaxThreadNameBytes) return text;
  size_t end = kMaxThreadNameBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

}  // namespace

bool SetCurrentThreadName(const char* name) {
  if (name == nullptr) return false;
  const std::string cut = CutName(name);
  return pthread_setname_np(pthread_self(), cut.c_str()) == 0;
}
