#include "CrashText.h"

#include <cstring>

namespace {
// Room for the lines beside the log's tail.
constexpr int kLinesMax = 8 * 300;
}  // namespace

CCrashText::CCrashText() { buffer_.reserve(kLinesMax + kLogTailMax); }

void CCrashText::Field::set(const QByteArray& value) {
  const int next = 1 - current_.load();
  const int length = value.size() < kCapacity ? value.size() : kCapacity;
  std::memcpy(slots_[next], value.constData(), static_cast<size_t>(length));
  lengths_[next] = length;
  current_.store(next);
}

const char* CCrashText::Field::text(int* length) const {
  const int slot = current_.load();
  *length = lengths_[slot];
  return slots_[slot];
}

void CCrashText::compose(const char* dumpTime, const char* logTail, int logTailLength, QByteArray& text) {
  // Within the reserved capacity nothing here allocates.
  buffer_.truncate(0);
  const auto line = [this](const char* key, const char* value, int length) {
    buffer_.append(key);
    buffer_.append(value, length);
    buffer_.append('\n');
  };
  const auto field = [&line](const char* key, const Field& value) {
    int length = 0;
    const char* data = value.text(&length);
    line(key, data, length);
  };
  field("Module:", module_);
  field("MeetVer:", version_);
  field("ExeLastModied:", exeTime_);
  line("DumpTime:", dumpTime, static_cast<int>(std::strlen(dumpTime)));
  line("MeetID:0", "", 0);
  field("PCID:", pcId_);
  field("IP:", ip_);
  const int tail = logTailLength < 0 ? 0 : (logTailLength > kLogTailMax ? kLogTailMax : logTailLength);
  line("LastLogData:", logTail, tail);
  text = buffer_;
}
