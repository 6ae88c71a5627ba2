// Finding one note in an ELF file, reading only what the file's own headers
// point to and checking every offset and size against the file first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ElfNoteResult {
  Found,
  NotFound,    // a sound ELF file without that note
  NotElf,      // not an ELF file of this machine's class and byte order
  Malformed,   // headers or notes that point outside the file or overlap their bounds
  OpenFailed,  // errno tells why
};

// Looks in the SHT_NOTE sections, or in the PT_NOTE segments of a file without
// section headers, for the note with that owner name and type.
ElfNoteResult ReadElfNote(const std::string& path, const std::string& owner, uint32_t type,
                          std::vector<uint8_t>* descriptor);
