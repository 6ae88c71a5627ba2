// The "ZF7Z" container in which the update server may deliver a file: the
// magic, a reserved word, the decoded size (u32, little-endian), the 5 LZMA
// property bytes and the raw LZMA stream. Only read here, never written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The decoded size; -1 for a wrong magic (or fewer than 4 bytes), -2 for a
// stream that does not decode to exactly that size, a header cut short, a
// size above INT_MAX or memory that cannot be had. out is empty on failure.
int Zf7zDecompress(const std::string& in, std::string& out);

// Decodes src (5 property bytes, then the raw stream) into dest, whose
// capacity *destLen is the expected decoded size; *destLen becomes what was
// decoded. True only when exactly that much decoded; an end marker after it
// is allowed.
bool LzmaDecodeBuf(const unsigned char* src, size_t srcLen, unsigned char* dest, size_t* destLen);

// The decoded size, or -4 when the container does not decode, -7 when the
// target cannot be opened, -8 when writing fails. Decodes into the file as it
// goes; a target that did not get the whole decoded size is removed.
int Zf7zDecompressToFile(std::string_view container, const std::wstring& targetPath);

uint32_t HostToLE32(uint32_t value);
