// Owners for C handles: the function that frees a handle is part of its
// owner's type, so no early return leaks it and nothing frees it twice.
// Nothing here allocates or locks, so the owners serve the crash path too.
#pragma once

#include <memory>
#include <utility>

// A move-only owner of a handle that is a value (a descriptor, an id) with
// one value meaning "none".
template <typename T, T Invalid, void (*Free)(T)>
class UniqueValue {
 public:
  UniqueValue() = default;
  explicit UniqueValue(T value) : value_(value) {}
  UniqueValue(UniqueValue&& other) noexcept : value_(other.release()) {}
  UniqueValue& operator=(UniqueValue&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueValue(const UniqueValue&) = delete;
  UniqueValue& operator=(const UniqueValue&) = delete;
  ~UniqueValue() { reset(); }

  T get() const { return value_; }
  bool valid() const { return value_ != Invalid; }
  explicit operator bool() const { return valid(); }
  // The caller owns the value from now on.
  T release() { return std::exchange(value_, Invalid); }
  void reset(T value = Invalid) {
    const T old = std::exchange(value_, value);
    if (old != Invalid && old != value) Free(old);
  }

 private:
  T value_ = Invalid;
};

template <typename T, void (*Free)(T*)>
struct FnDeleter {
  void operator()(T* pointer) const { Free(pointer); }
};

// A move-only owner of a handle that is a pointer; null means "none".
template <typename T, void (*Free)(T*)>
using UniquePtr = std::unique_ptr<T, FnDeleter<T, Free>>;

// close() without a retry on EINTR: Linux frees the descriptor either way, and
// a retry could close a descriptor another thread has just been given.
// Async-signal-safe.
void CloseFd(int fd);
using UniqueFd = UniqueValue<int, -1, CloseFd>;  // descriptors, pidfds included
