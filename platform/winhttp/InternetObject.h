// What an HINTERNET stands for inside the WinHTTP layer.
#pragma once

#include <memory>

#include <platform/WinHttp.h>

// A session, a connection or a request behind a handle.
class InternetObject {
 public:
  virtual ~InternetObject() = default;
};

// WinHTTP handles live in a table of their own, with values from the platform's
// one serial: a stale handle, or a kernel or GDI one, fails with
// ERROR_INVALID_HANDLE instead of reaching another object.
HINTERNET RegisterInternetObject(std::shared_ptr<InternetObject> object);
std::shared_ptr<InternetObject> LookupInternetObject(HINTERNET handle);
// Removes the handle and hands back what it stood for (null when unknown).
std::shared_ptr<InternetObject> UnregisterInternetObject(HINTERNET handle);

template <typename T>
std::shared_ptr<T> LookupInternetObjectAs(HINTERNET handle) {
  return std::dynamic_pointer_cast<T>(LookupInternetObject(handle));
}
