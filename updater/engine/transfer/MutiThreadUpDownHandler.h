// Where the transfer manager reports a file's progress (on its own thread).
#pragma once

#include <cstdint>

struct STransProgress {
  int32_t total;  // bytes; 0x100000 while the size is unknown
  int32_t done;
};

class CMutiThreadUpDownHandler {
 public:
  virtual void OnTransProgress(const STransProgress* progress) = 0;

 protected:
  ~CMutiThreadUpDownHandler() = default;
};
