#include "GdiRegistry.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace {

struct Registry {
  std::mutex lock;
  uintptr_t lastSerial = 0;
  std::unordered_map<uintptr_t, std::shared_ptr<GdiObject>> objects;
};

Registry& TheRegistry() {
  static auto* registry = new Registry;  // never destroyed: objects may be deleted during exit
  return *registry;
}

}  // namespace

void* RegisterGdiObject(std::shared_ptr<GdiObject> object) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  // Multiples of 16 never equal null, HGDI_ERROR or a file handle.
  const uintptr_t value = ++registry.lastSerial << 4;
  registry.objects.emplace(value, std::move(object));
  return reinterpret_cast<void*>(value);
}

std::shared_ptr<GdiObject> LookupGdiObject(const void* handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == registry.objects.end() ? nullptr : it->second;
}

std::shared_ptr<GdiObject> UnregisterGdiObject(const void* handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == registry.objects.end()) return nullptr;
  std::shared_ptr<GdiObject> object = std::move(it->second);
  registry.objects.erase(it);
  return object;
}
