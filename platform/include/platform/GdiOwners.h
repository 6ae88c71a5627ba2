// Owners for GDI objects, device contexts and icons.
#pragma once

#include <platform/DeviceCaps.h>
#include <platform/Gdi.h>
#include <platform/Unique.h>
#include <platform/User.h>

#include <utility>

inline void FreeGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void FreeDc(HDC dc) { DeleteDC(dc); }
inline void FreeIcon(HICON icon) { DestroyIcon(icon); }

// Bitmaps, brushes and regions: all of them are HGDIOBJ.
using UniqueGdiObject = UniquePtr<HGDIOBJ__, FreeGdiObject>;
using UniqueDc = UniquePtr<HDC__, FreeDc>;
using UniqueIcon = UniquePtr<HICON__, FreeIcon>;

// An object selected into a DC until the end of the scope, when what it
// replaced is selected again. A bitmap still selected cannot be deleted, and
// a DC deleted with a bitmap of ours in it would keep that bitmap busy, so
// declare the selection after the owners of the DC and of the object: it ends
// first. Not for regions: selecting one returns a region type, not an object.
class ScopedSelect {
 public:
  ScopedSelect() = default;
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {
    if (old_ == HGDI_ERROR) old_ = nullptr;
  }
  ScopedSelect(ScopedSelect&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)), old_(std::exchange(other.old_, nullptr)) {}
  ScopedSelect& operator=(ScopedSelect&& other) noexcept {
    if (this != &other) {
      Restore();
      dc_ = std::exchange(other.dc_, nullptr);
      old_ = std::exchange(other.old_, nullptr);
    }
    return *this;
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  ~ScopedSelect() { Restore(); }

  // False when the object could not be selected: nothing is put back then.
  bool selected() const { return old_ != nullptr; }

 private:
  void Restore() {
    if (old_ != nullptr) SelectObject(dc_, old_);
    old_ = nullptr;
  }

  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// A window's DC from GetDC, given back to that window at the end of the scope.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  ~ScopedWindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }

  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};
