#include "GdiObject.h"

#include "HandleRegistry.h"

static HandleRegistry<GdiObject>& Objects() {
  static auto* registry = new HandleRegistry<GdiObject>;  // never destroyed: objects may be deleted during exit
  return *registry;
}

void* RegisterGdiObject(std::shared_ptr<GdiObject> object) { return Objects().Add(std::move(object)); }

std::shared_ptr<GdiObject> LookupGdiObject(const void* handle) { return Objects().Find(handle); }

std::shared_ptr<GdiObject> UnregisterGdiObject(const void* handle) { return Objects().Remove(handle); }
