// The handle tables of the platform layer. Kernel objects, GDI objects and
// device contexts live in tables of their own, but every value comes from one
// serial: a handle of one kind can never equal a handle of another, so a
// brush handed to CloseHandle fails instead of closing whatever event shares
// its number.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

// A handle value no object of any kind ever had. Multiples of 16: never null,
// INVALID_HANDLE_VALUE, HGDI_ERROR, a region type SelectObject returns or an
// (odd) file handle.
uintptr_t NextHandleValue();

template <typename Object>
class HandleRegistry {
 public:
  void* Add(std::shared_ptr<Object> object) {
    const uintptr_t value = NextHandleValue();
    std::lock_guard<std::shared_mutex> guard(lock_);
    objects_.emplace(value, std::move(object));
    return reinterpret_cast<void*>(value);
  }

  // The shared pointer keeps an object alive for a caller that is using it
  // while another thread closes its handle.
  std::shared_ptr<Object> Find(const void* handle) const {
    std::shared_lock<std::shared_mutex> guard(lock_);
    auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
  }

  // The caller lets the object go outside the lock, where its destructor may
  // take locks of its own.
  std::shared_ptr<Object> Remove(const void* handle) {
    std::lock_guard<std::shared_mutex> guard(lock_);
    auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == objects_.end()) return nullptr;
    std::shared_ptr<Object> object = std::move(it->second);
    objects_.erase(it);
    return object;
  }

 private:
  // Every call of every thread finds its handle here; only opening and
  // closing change the table.
  mutable std::shared_mutex lock_;
  std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects_;
};
