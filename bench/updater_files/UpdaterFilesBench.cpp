// GetFileMD5 beside md5sum, and ZF7Z decoding beside `xz --format=lzma -d`,
// on one file of mixed text and random blocks (256 MiB unless given). Each
// figure is the best of three runs over a file in the page cache.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "BenchStats.h"
#include "MD5.h"
#include "Zf7z.h"
#include "Zf7zWriter.h"

namespace fs = std::filesystem;

namespace {

std::string MixedData(size_t size) {
  std::mt19937 random(1234);
  std::string data;
  data.reserve(size);
  size_t line = 0;
  while (data.size() < size) {
    if (random() % 4 == 0) {  // a quarter random, as packed resources are
      for (int i = 0; i < 4096; ++i) data.push_back(static_cast<char>(random()));
    } else {
      for (int i = 0; i < 48; ++i, ++line) {
        data += "Job_" + std::to_string(line) + "=DOWNFILE;Res/img" + std::to_string(random() % 500) +
                ".png;" + std::to_string(random() % 100000) + ";1700000000;1\r\n";
      }
    }
  }
  data.resize(size);
  return data;
}

// One raw LZMA1 stream with an end marker, preset 1: what a server would make
// quickly. The .lzma form says "size unknown" so the marker ends it.
bool Pack(const std::string& data, std::string* zf7z, std::string* alone) {
  if (!MakeZf7z(data, true, zf7z, 1)) return false;
  // The container's properties and stream follow its magic, reserved word and size.
  const uint64_t unknown = ~0ULL;
  alone->assign(*zf7z, 12, 5);
  alone->append(reinterpret_cast<const char*>(&unknown), 8);
  alone->append(*zf7z, 17, std::string::npos);
  return true;
}

double BestMs(const std::function<bool()>& run) {
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return -1;
    best = std::min(best, MsSince(start));
  }
  return best;
}

void Row(const char* what, double ms, double mib) {
  if (ms < 0) {
    printf("%-34s %10s %10s\n", what, "failed", "-");
    return;
  }
  printf("%-34s %10.1f %10.1f\n", what, ms, mib / (ms / 1000.0));
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mib = argc > 1 ? static_cast<size_t>(atoi(argv[1])) : 256;
  if (mib == 0 || mib > 2000) {
    fprintf(stderr, "usage: %s [MiB, 1..2000]\n", argv[0]);
    return 2;
  }
  char pattern[] = "/tmp/corvane-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path folder = pattern;
  const fs::path plain = folder / "data.bin";
  const fs::path lzmaFile = folder / "data.lzma";

  const std::string data = MixedData(mib << 20);
  std::ofstream(plain, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
  std::string zf7z, alone;
  if (!Pack(data, &zf7z, &alone)) return 1;
  std::ofstream(lzmaFile, std::ios::binary).write(alone.data(), static_cast<std::streamsize>(alone.size()));

  printf("data: %zu MiB, %.1f%% packed (LZMA preset 1)\n\n", mib, 100.0 * zf7z.size() / data.size());
  printf("%-34s %10s %10s\n", "", "best ms", "MiB/s");
  std::wstring value;
  Row("GetFileMD5 (1024-byte reads)", BestMs([&] { return GetFileMD5(plain.wstring(), value); }), mib);
  const std::string md5sum = "md5sum '" + plain.string() + "' > /dev/null";
  Row("md5sum", BestMs([&] { return system(md5sum.c_str()) == 0; }), mib);
  std::string out;
  Row("Zf7zDecompress", BestMs([&] { return Zf7zDecompress(zf7z, out) == static_cast<int>(data.size()); }), mib);
  const std::string xz = "xz --format=lzma -d -c '" + lzmaFile.string() + "' > /dev/null";
  Row("xz --format=lzma -d", BestMs([&] { return system(xz.c_str()) == 0; }), mib);
  if (out != data) printf("Zf7zDecompress gave other bytes!\n");

  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return 0;
}
