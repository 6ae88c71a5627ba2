#include "ShmAttachment.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <utility>

#include "XErrorTrap.h"

ShmAttachment ShmAttachment::Attach(_XDisplay* display, int shmId, void* address, std::string* error) {
  XShmSegmentInfo info{0, shmId, static_cast<char*>(address), False};
  info.shmseg = XAllocID(display);
  XErrorTrap trap(display);
  XShmAttach(display, &info);
  if (trap.Failed()) {
    *error = trap.Text();
    return ShmAttachment();
  }
  ShmAttachment attachment;
  attachment.display_ = display;
  attachment.segment_ = info.shmseg;
  attachment.shmId_ = shmId;
  attachment.address_ = address;
  return attachment;
}

ShmAttachment::ShmAttachment(ShmAttachment&& other) noexcept
    : display_(std::exchange(other.display_, nullptr)),
      segment_(other.segment_),
      shmId_(other.shmId_),
      address_(other.address_) {}

ShmAttachment& ShmAttachment::operator=(ShmAttachment&& other) noexcept {
  if (this == &other) return *this;
  reset();
  display_ = std::exchange(other.display_, nullptr);
  segment_ = other.segment_;
  shmId_ = other.shmId_;
  address_ = other.address_;
  return *this;
}

ShmAttachment::~ShmAttachment() { reset(); }

void ShmAttachment::reset() {
  if (display_ == nullptr) return;
  XShmSegmentInfo info{segment_, shmId_, static_cast<char*>(address_), False};
  XShmDetach(std::exchange(display_, nullptr), &info);
}
