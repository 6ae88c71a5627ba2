#include "DisplayDc.h"

#include <platform/Log.h>

#include <platform/Log.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstring>
#include <string>
#include <vector>

#include "XErrorTrap.h"
#include "XOwners.h"

namespace {

bool IsBgrx(const Visual* visual, int depth) {
  return (depth == 24 || depth == 32) && visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
         visual->blue_mask == 0xff;
}

// Pixels of the rectangle outside the region, kept aside while X writes whole rows.
struct SavedPixels {
  QRect rect;
  std::vector<uint8_t> bytes;
};

std::vector<SavedPixels> SaveOutside(const BitmapObject& bitmap, const QRect& rows, const QRegion& keep) {
  std::vector<SavedPixels> saved;
  const QRegion outside = QRegion(rows) - keep;
  for (const QRect& rect : outside) {
    SavedPixels part{rect, std::vector<uint8_t>(static_cast<size_t>(rect.width()) * 4 * rect.height())};
    for (int y = 0; y < rect.height(); ++y) {
      memcpy(part.bytes.data() + static_cast<size_t>(y) * rect.width() * 4,
             bitmap.bits() + static_cast<size_t>(rect.y() + y) * bitmap.stride() + rect.x() * 4, rect.width() * 4);
    }
    saved.push_back(std::move(part));
  }
  return saved;
}

void Restore(BitmapObject& bitmap, const std::vector<SavedPixels>& saved) {
  for (const SavedPixels& part : saved) {
    const QRect& rect = part.rect;
    for (int y = 0; y < rect.height(); ++y) {
      memcpy(bitmap.bits() + static_cast<size_t>(rect.y() + y) * bitmap.stride() + rect.x() * 4,
             part.bytes.data() + static_cast<size_t>(y) * rect.width() * 4, rect.width() * 4);
    }
  }
}

}  // namespace

std::shared_ptr<DisplayDc> DisplayDc::Open() {
  DisplayPtr display = OpenDisplay();
  if (!display) return nullptr;
  Display* dpy = display.get();
  const int screen = DefaultScreen(dpy);
  Visual* visual = DefaultVisual(dpy, screen);
  const int depth = DefaultDepth(dpy, screen);
  if (!IsBgrx(visual, depth)) {
    PlatformLog("gdi: screen depth %d with red mask 0x%lx is not a format we capture", depth, visual->red_mask);
    return nullptr;
  }
  std::shared_ptr<DisplayDc> dc(new DisplayDc);
  dc->root_ = RootWindow(dpy, screen);
  dc->visual_ = visual;
  dc->depth_ = depth;
  dc->hasShm_ = XShmQueryExtension(dpy) == True;
  if (!dc->hasShm_) PlatformLog("gdi: no MIT-SHM on this display, capturing with XGetImage");
  dc->display_ = std::move(display);
  return dc;
}

QRect DisplayDc::rootRect() const {
  Window rootOfRoot = 0;
  int x = 0, y = 0;
  unsigned int width = 0, height = 0, border = 0, depth = 0;
  if (!XGetGeometry(display_.get(), root_, &rootOfRoot, &x, &y, &width, &height, &border, &depth)) return QRect();
  return QRect(0, 0, static_cast<int>(width), static_cast<int>(height));
}

DisplayDc::~DisplayDc() {
  if (!display_) return;
  attachments_.clear();
  // The server lets go of the segments before the connection closes.
  XSync(display_.get(), False);
}

void DisplayDc::DetachGone() {
  for (auto it = attachments_.begin(); it != attachments_.end();) {
    if (!it->second.bitmap.expired()) {
      ++it;
      continue;
    }
    it = attachments_.erase(it);
  }
}

const DisplayDc::Attachment* DisplayDc::AttachedFor(const std::shared_ptr<BitmapObject>& bitmap) {
  auto found = attachments_.find(bitmap->serial());
  if (found != attachments_.end()) return &found->second;
  ShmSegment* shm = bitmap->shm();
  if (shm == nullptr) return nullptr;
  std::string error;
  ShmAttachment attached = ShmAttachment::Attach(display_.get(), shm->id(), shm->address(), &error);
  if (!attached.valid()) {
    PlatformLog("gdi: XShmAttach(%d) failed: %s; capturing with XGetImage from now on", shm->id(), error.c_str());
    hasShm_ = false;
    return nullptr;
  }
  shm->MarkRemoved();
  Attachment attachment{bitmap, std::move(attached)};
  return &attachments_.emplace(bitmap->serial(), std::move(attachment)).first->second;
}

bool DisplayDc::ReadRowsInto(BitmapObject& bitmap, const Attachment& attachment, const QRect& rows,
                             const QPoint& offset) {
  Display* dpy = display_.get();
  XShmSegmentInfo info{attachment.shm.segment(), attachment.shm.shmId(), static_cast<char*>(attachment.shm.address()),
                       False};
  // The pixels are the bitmap's and the segment record is ours: only the image structure is freed.
  const XImageHeaderPtr image(XShmCreateImage(dpy, static_cast<Visual*>(visual_), depth_, ZPixmap, nullptr, &info,
                                              bitmap.width(), rows.height()));
  if (!image) {
    PlatformLog("gdi: XShmCreateImage(%dx%d) failed", bitmap.width(), rows.height());
    return false;
  }
  image->data = reinterpret_cast<char*>(bitmap.bits() + static_cast<size_t>(rows.y()) * bitmap.stride());
  bool read = false;
  if (image->bytes_per_line == bitmap.stride() && image->bits_per_pixel == 32) {
    XErrorTrap trap(dpy);
    read = XShmGetImage(dpy, root_, image.get(), rows.x() + offset.x(), rows.y() + offset.y(), AllPlanes) == True &&
           !trap.FailedByReply();
    if (!read) PlatformLog("gdi: XShmGetImage at (%d,%d) failed: %s", rows.x() + offset.x(), rows.y() + offset.y(),
                        trap.Text().c_str());
  }
  return read;
}

bool DisplayDc::ReadThroughScratch(BitmapObject& bitmap, const QRegion& target, const QPoint& offset) {
  Display* dpy = display_.get();
  const QRect bound = target.boundingRect();
  XErrorTrap trap(dpy);
  const XImagePtr image(XGetImage(dpy, root_, bound.x() + offset.x(), bound.y() + offset.y(), bound.width(),
                                  bound.height(), AllPlanes, ZPixmap));
  if (!image || trap.Failed()) {
    PlatformLog("gdi: XGetImage(%d,%d %dx%d) failed: %s", bound.x() + offset.x(), bound.y() + offset.y(),
             bound.width(), bound.height(), trap.Text().c_str());
    return false;
  }
  const bool usable = image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                      image->bytes_per_line >= bound.width() * 4;
  if (usable) {
    for (const QRect& rect : target) {
      for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const char* from = image->data + static_cast<size_t>(y - bound.y()) * image->bytes_per_line +
                           static_cast<size_t>(rect.x() - bound.x()) * 4;
        memcpy(bitmap.bits() + static_cast<size_t>(y) * bitmap.stride() + rect.x() * 4, from, rect.width() * 4);
      }
    }
  } else {
    PlatformLog("gdi: XGetImage gave %d bits per pixel, byte order %d", image->bits_per_pixel, image->byte_order);
  }
  return usable;
}

bool DisplayDc::CopyTo(const std::shared_ptr<BitmapObject>& bitmap, const QRegion& target, const QPoint& offset) {
  DetachGone();
  // Screen pixels exist only inside the root; the rest of the target stays as it was.
  const QRegion readable = target & rootRect().translated(-offset);
  if (readable.isEmpty()) return true;
  const QRect bound = readable.boundingRect();
  const bool wholeRows = bound.x() == 0 && bound.width() == bitmap->width();
  const Attachment* attachment = hasShm_ && wholeRows ? AttachedFor(bitmap) : nullptr;
  if (attachment == nullptr) return ReadThroughScratch(*bitmap, readable, offset);
  // X writes whole rows straight into the bitmap; what lies outside the
  // target (the fill around shared windows) is put back afterwards.
  const std::vector<SavedPixels> saved = SaveOutside(*bitmap, bound, readable);
  const bool read = ReadRowsInto(*bitmap, *attachment, bound, offset);
  Restore(*bitmap, saved);
  return read;
}
