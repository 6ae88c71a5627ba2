#include "InternetObject.h"

#include "HandleRegistry.h"

static HandleRegistry<InternetObject>& Registry() {
  static auto* registry = new HandleRegistry<InternetObject>;  // never destroyed: handles may be closed during exit
  return *registry;
}

HINTERNET RegisterInternetObject(std::shared_ptr<InternetObject> object) {
  return static_cast<HINTERNET>(Registry().Add(std::move(object)));
}

std::shared_ptr<InternetObject> LookupInternetObject(HINTERNET handle) { return Registry().Find(handle); }

std::shared_ptr<InternetObject> UnregisterInternetObject(HINTERNET handle) { return Registry().Remove(handle); }
