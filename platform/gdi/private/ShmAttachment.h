// A shared-memory segment attached to the X server (MIT-SHM): the server
// writes captured pixels straight into it until the attachment is let go.
#pragma once

#include <string>

struct _XDisplay;

class ShmAttachment {
 public:
  ShmAttachment() = default;
  // Invalid when the server refuses (a server on another host shares no
  // memory with us); *error then says why.
  static ShmAttachment Attach(_XDisplay* display, int shmId, void* address, std::string* error);
  ShmAttachment(ShmAttachment&& other) noexcept;
  ShmAttachment& operator=(ShmAttachment&& other) noexcept;
  ShmAttachment(const ShmAttachment&) = delete;
  ShmAttachment& operator=(const ShmAttachment&) = delete;
  ~ShmAttachment();

  bool valid() const { return display_ != nullptr; }
  unsigned long segment() const { return segment_; }
  int shmId() const { return shmId_; }
  void* address() const { return address_; }
  void reset();

 private:
  _XDisplay* display_ = nullptr;  // not owned: it outlives its attachments
  unsigned long segment_ = 0;
  int shmId_ = -1;
  void* address_ = nullptr;
};
