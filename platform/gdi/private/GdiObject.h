// What an HGDIOBJ or HDC stands for inside the gdi layer. Values come from the
// platform's one handle serial (HandleRegistry.h): a stale handle, or a kernel
// handle passed here, fails instead of reaching another object.
#pragma once

#include <memory>

#include <platform/Gdi.h>

class GdiObject {
 public:
  virtual ~GdiObject() = default;
};

void* RegisterGdiObject(std::shared_ptr<GdiObject> object);
std::shared_ptr<GdiObject> LookupGdiObject(const void* handle);
std::shared_ptr<GdiObject> UnregisterGdiObject(const void* handle);

template <typename T>
std::shared_ptr<T> LookupGdiAs(const void* handle) {
  return std::dynamic_pointer_cast<T>(LookupGdiObject(handle));
}
