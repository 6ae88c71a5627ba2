#include "ElfSymbols.h"

#include <elf.h>

#include <cstring>

#include "ChildProcess.h"

uint64_t ElfSymbolSize(const std::string& file, const std::string& name) {
  const std::string bytes = ReadWholeFile(file);
  if (bytes.size() < sizeof(Elf64_Ehdr)) return 0;
  Elf64_Ehdr header;
  memcpy(&header, bytes.data(), sizeof(header));
  if (header.e_shoff + uint64_t{header.e_shnum} * sizeof(Elf64_Shdr) > bytes.size()) return 0;
  auto section = [&](unsigned i) {
    Elf64_Shdr s;
    memcpy(&s, bytes.data() + header.e_shoff + i * sizeof(Elf64_Shdr), sizeof(s));
    return s;
  };
  for (unsigned i = 0; i < header.e_shnum; ++i) {
    const Elf64_Shdr symtab = section(i);
    if (symtab.sh_type != SHT_SYMTAB || symtab.sh_link >= header.e_shnum) continue;
    const Elf64_Shdr strtab = section(symtab.sh_link);
    if (symtab.sh_offset + symtab.sh_size > bytes.size() || strtab.sh_offset + strtab.sh_size > bytes.size()) return 0;
    for (uint64_t at = 0; at + sizeof(Elf64_Sym) <= symtab.sh_size; at += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      memcpy(&symbol, bytes.data() + symtab.sh_offset + at, sizeof(symbol));
      if (symbol.st_name >= strtab.sh_size) continue;
      const char* symbolName = bytes.data() + strtab.sh_offset + symbol.st_name;
      if (strnlen(symbolName, strtab.sh_size - symbol.st_name) == name.size() && name == symbolName) {
        return symbol.st_size;
      }
    }
  }
  return 0;
}
