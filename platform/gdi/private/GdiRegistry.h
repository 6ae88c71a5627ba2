// Handles of GDI objects and device contexts. Each handle value is used once,
// so a stale handle fails instead of reaching a newer object.
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
