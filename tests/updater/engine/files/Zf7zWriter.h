// Builds "ZF7Z" containers for the tests with liblzma's LZMA1 encoder.
#pragma once

#include <cstdint>
#include <string>

// The container of data; with endMarker the stream ends in an end marker,
// without it the stream stops at the size. False when liblzma fails.
bool MakeZf7z(const std::string& data, bool endMarker, std::string* container, int preset = 6);

// Deterministic bytes: random ones, or text that compresses well.
std::string RandomBytes(size_t size, uint32_t seed);
std::string SampleText(size_t size);
