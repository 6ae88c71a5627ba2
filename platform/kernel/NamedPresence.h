// Membership in a named kernel object shared between processes.
//
// Every process that holds the object open keeps a shared flock on its file;
// the kernel drops it when the process ends, however it ends. Whoever joins
// and can take the lock exclusively knows that nobody holds the object, so it
// starts it afresh: an object left behind by a crash is new again. Joins and
// leaves pass through one gate lock per folder so that no two processes both
// decide they are first.
#pragma once

#include <platform/Win32Types.h>

#include <functional>
#include <memory>
#include <string>

#include <platform/Unique.h>

class NamedPresence {
 public:
  // Runs with the object's file while no other process holds or joins it.
  using Hook = std::function<bool(int fd)>;

  // Joins the object at path. With create the object is made when nobody holds
  // it (then *created is true and onCreate has run); without, that case fails
  // with ERROR_FILE_NOT_FOUND. onLastLeave runs when the last holder leaves.
  static std::unique_ptr<NamedPresence> Join(const std::string& path, bool create, const Hook& onCreate,
                                             Hook onLastLeave, bool* created, DWORD* error);
  ~NamedPresence();

  int fd() const { return fd_.get(); }

 private:
  NamedPresence(std::string folder, UniqueFd fd, Hook onLastLeave);

  std::string folder_;
  UniqueFd fd_;
  Hook onLastLeave_;
};
