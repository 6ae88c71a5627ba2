#include "BitmapObject.h"

#include <platform/Log.h>

#include <QtGlobal>

#include <atomic>
#include <limits>
#include <new>

namespace {

std::atomic<uint64_t> g_lastSerial{0};

// Far above any screen; keeps 4 x width x height inside an int for callers.
constexpr int64_t kMaxDibBytes = std::numeric_limits<int>::max();

}  // namespace

std::shared_ptr<BitmapObject> BitmapObject::CreateDib(int width, int height) {
  if (width <= 0 || height <= 0 || int64_t{4} * width * height > kMaxDibBytes) return nullptr;
  std::shared_ptr<BitmapObject> bitmap(new BitmapObject);
  bitmap->width_ = width;
  bitmap->height_ = height;
  bitmap->stride_ = 4 * width;
  bitmap->isDib_ = true;
  bitmap->serial_ = ++g_lastSerial;
  if (bitmap->shm_.Create(bitmap->byteSize())) {
    bitmap->bits_ = static_cast<uint8_t*>(bitmap->shm_.address());  // new segments are zero-filled
    return bitmap;
  }
  try {
    bitmap->heap_.assign(bitmap->byteSize(), 0);
  } catch (const std::bad_alloc&) {
    PlatformLog("gdi: no memory for a %dx%d DIB section", width, height);
    return nullptr;
  }
  bitmap->bits_ = bitmap->heap_.data();
  return bitmap;
}

std::shared_ptr<BitmapObject> BitmapObject::CreateWithBits(int width, int height, int bpp, int stride,
                                                           std::vector<uint8_t> bytes) {
  if (width <= 0 || height <= 0 || stride <= 0 ||
      bytes.size() != static_cast<size_t>(stride) * static_cast<size_t>(height)) {
    return nullptr;
  }
  std::shared_ptr<BitmapObject> bitmap(new BitmapObject);
  bitmap->width_ = width;
  bitmap->height_ = height;
  bitmap->bpp_ = bpp;
  bitmap->stride_ = stride;
  bitmap->serial_ = ++g_lastSerial;
  bitmap->heap_ = std::move(bytes);
  bitmap->bits_ = bitmap->heap_.data();
  return bitmap;
}

HBITMAP CreateBitmapWithBits(int width, int height, int bpp, int stride, std::vector<uint8_t> bytes) {
  std::shared_ptr<BitmapObject> bitmap = BitmapObject::CreateWithBits(width, height, bpp, stride, std::move(bytes));
  if (!bitmap) return nullptr;
  return static_cast<HBITMAP>(RegisterGdiObject(std::move(bitmap)));
}
