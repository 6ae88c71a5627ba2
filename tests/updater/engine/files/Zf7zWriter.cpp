#include "Zf7zWriter.h"

#include <lzma.h>

#include <cstring>
#include <random>

bool MakeZf7z(const std::string& data, bool endMarker, std::string* container, int preset) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, static_cast<uint32_t>(preset))) return false;
  options.ext_flags = endMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  uint8_t props[5];
  lzma_filter plain = {LZMA_FILTER_LZMA1, &options};
  if (lzma_properties_encode(&plain, props) != LZMA_OK) return false;

  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&stream, filters) != LZMA_OK) return false;
  std::string packed(data.size() + data.size() / 2 + 4096, '\0');
  stream.next_in = reinterpret_cast<const uint8_t*>(data.data());
  stream.avail_in = data.size();
  stream.next_out = reinterpret_cast<uint8_t*>(&packed[0]);
  stream.avail_out = packed.size();
  const lzma_ret result = lzma_code(&stream, LZMA_FINISH);
  const size_t packedSize = stream.total_out;
  lzma_end(&stream);
  if (result != LZMA_STREAM_END) return false;

  container->assign("ZF7Z", 4);
  const uint32_t reserved = 0x12345678;  // never read
  const uint32_t size = static_cast<uint32_t>(data.size());
  container->append(reinterpret_cast<const char*>(&reserved), 4);
  container->append(reinterpret_cast<const char*>(&size), 4);
  container->append(reinterpret_cast<const char*>(props), 5);
  container->append(packed, 0, packedSize);
  return true;
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::string SampleText(size_t size) {
  static const char kLine[] = "Job_1=DOWNFILE;Res/Corvane.qss;4096;1700000000;0;9E107D9D372BB6826BD81D3542A419D6\r\n";
  std::string text;
  text.reserve(size);
  for (size_t i = 0; text.size() < size; ++i) {
    text += kLine;
    text += std::to_string(i * 7919 % 1000);
  }
  text.resize(size);
  return text;
}
