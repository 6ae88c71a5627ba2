// A bitmap: a DIB section (32-bit BGRX, top-down, in shared memory where the
// system allows) or a device-dependent bitmap made by the platform layer.
#pragma once

#include <cstdint>
#include <vector>

#include "GdiObject.h"
#include "ShmSegment.h"

class BitmapObject : public GdiObject {
 public:
  // A zero-filled top-down 32-bit DIB section; null when memory is short.
  static std::shared_ptr<BitmapObject> CreateDib(int width, int height);
  // A bitmap holding bytes as given: rows of stride bytes, bpp bits per pixel.
  static std::shared_ptr<BitmapObject> CreateWithBits(int width, int height, int bpp, int stride,
                                                      std::vector<uint8_t> bytes);

  int width() const { return width_; }
  int height() const { return height_; }
  int bitsPerPixel() const { return bpp_; }
  int stride() const { return stride_; }
  size_t byteSize() const { return static_cast<size_t>(stride_) * height_; }
  uint8_t* bits() const { return bits_; }
  bool isDib() const { return isDib_; }
  // Null when the pixels are not in shared memory.
  ShmSegment* shm() { return shm_.address() != nullptr ? &shm_ : nullptr; }
  uint64_t serial() const { return serial_; }

  // Windows refuses to delete a bitmap selected into a DC.
  int selections = 0;

 private:
  BitmapObject() = default;
  int width_ = 0;
  int height_ = 0;
  int bpp_ = 32;
  int stride_ = 0;
  bool isDib_ = false;
  uint64_t serial_ = 0;
  uint8_t* bits_ = nullptr;
  ShmSegment shm_;
  std::vector<uint8_t> heap_;
};

// Registers a bitmap made by the user layer (icon bitmaps).
HBITMAP CreateBitmapWithBits(int width, int height, int bpp, int stride, std::vector<uint8_t> bytes);
