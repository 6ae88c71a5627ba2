// The size of a function symbol in an ELF file's symbol table.
#pragma once

#include <cstdint>
#include <string>

// 0 when the file has no such symbol.
uint64_t ElfSymbolSize(const std::string& file, const std::string& name);
