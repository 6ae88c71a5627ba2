#include "InternetObject.h"

#include <mutex>
#include <unordered_map>

namespace {

struct Registry {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::shared_ptr<InternetObject>> objects;
  uintptr_t lastSerial = 0;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: handles may be closed during exit
  return *registry;
}

}  // namespace

HINTERNET RegisterInternetObject(std::shared_ptr<InternetObject> object) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  // Spaced by 4 so that a handle never looks like a small integer or a file descriptor handle.
  const uintptr_t value = (++registry.lastSerial) << 2;
  registry.objects.emplace(value, std::move(object));
  return reinterpret_cast<HINTERNET>(value);
}

std::shared_ptr<InternetObject> LookupInternetObject(HINTERNET handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == registry.objects.end() ? nullptr : it->second;
}

std::shared_ptr<InternetObject> UnregisterInternetObject(HINTERNET handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == registry.objects.end()) return nullptr;
  std::shared_ptr<InternetObject> object = std::move(it->second);
  registry.objects.erase(it);
  return object;
}
