// A page-file backed mapping: a block of memory shared by name between
// processes, zero-filled whenever nobody held it before.
#pragma once

#include <cstddef>
#include <memory>

#include "KernelObject.h"
#include "NamedPresence.h"
#include <platform/Unique.h>

class FileMappingObject : public KernelObject {
 public:
  // The memory behind one or more handles and views; a view keeps it alive
  // after its handle is closed, as on Windows.
  struct Section {
    std::unique_ptr<NamedPresence> presence;  // named: the file is the memory
    UniqueFd anonymous;                        // unnamed: a memfd
    size_t size = 0;
    bool writable = true;
    int fd() const { return presence ? presence->fd() : anonymous.get(); }
  };

  explicit FileMappingObject(std::shared_ptr<Section> section) : section_(std::move(section)) {}
  const std::shared_ptr<Section>& section() const { return section_; }

 private:
  std::shared_ptr<Section> section_;
};
