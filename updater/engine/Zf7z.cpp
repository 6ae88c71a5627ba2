#include "Zf7z.h"

#include <lzma.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "FileHelpers.h"
#include "WinFile.h"

namespace {

const size_t kHeaderSize = 12;  // magic, reserved word, decoded size
const size_t kPropsSize = 5;
const uint32_t kMagic = 0x5A37465A;  // "ZF7Z"
const size_t kPieceSize = 1 << 20;    // decoded bytes written at a time

class Decoder {
 public:
  ~Decoder() { lzma_end(&m_stream); }

  // A raw LZMA1 decoder that knows the decoded size and accepts an end
  // marker right after it, or none.
  bool Start(const unsigned char* props, uint64_t size) {
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, props, kPropsSize) != LZMA_OK) return false;
    lzma_options_lzma* options = static_cast<lzma_options_lzma*>(filters[0].options);
    // No match reaches further back than the output is long, so a bigger
    // dictionary only costs memory: a forged header could ask for 4 GiB.
    const uint64_t enough = size < LZMA_DICT_SIZE_MIN ? LZMA_DICT_SIZE_MIN : size;
    if (options->dict_size > enough) options->dict_size = static_cast<uint32_t>(enough);
    options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    options->ext_size_low = static_cast<uint32_t>(size);
    options->ext_size_high = static_cast<uint32_t>(size >> 32);
    const lzma_ret started = lzma_raw_decoder(&m_stream, filters);
    free(options);
    return started == LZMA_OK;
  }

  void Input(const unsigned char* data, size_t size) {
    m_stream.next_in = data;
    m_stream.avail_in = size;
  }

  // LZMA_STREAM_END once the whole size has decoded.
  lzma_ret Code(unsigned char* out, size_t room) {
    m_stream.next_out = out;
    m_stream.avail_out = room;
    return lzma_code(&m_stream, LZMA_FINISH);
  }

  uint64_t Produced() const { return m_stream.total_out; }

 private:
  lzma_stream m_stream = LZMA_STREAM_INIT;
};

uint32_t ReadLE32(const char* at) {
  uint32_t value;
  memcpy(&value, at, sizeof(value));
  return HostToLE32(value);
}

// Grows the output with what really decodes instead of trusting the size
// field up front: a short forged container cannot make us allocate gigabytes.
bool DecodeGrowing(const unsigned char* props, const unsigned char* stream, size_t streamLen, uint32_t size,
                   std::string* out) {
  Decoder decoder;
  if (!decoder.Start(props, size)) return false;
  decoder.Input(stream, streamLen);
  size_t room = size < (1u << 20) ? size : (1u << 20);
  for (;;) {
    const size_t produced = static_cast<size_t>(decoder.Produced());
    if (produced == out->size() && out->size() < size) {
      const size_t grown = out->size() + room;
      out->resize(grown < size ? grown : size);
      room = out->size();  // doubling
    }
    const lzma_ret result = decoder.Code(reinterpret_cast<unsigned char*>(&(*out)[0]) + produced,
                                         out->size() - produced);
    if (result == LZMA_STREAM_END) return decoder.Produced() == size;
    if (result != LZMA_OK) return false;
  }
}

}  // namespace

uint32_t HostToLE32(uint32_t value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return __builtin_bswap32(value);
#else
  return value;
#endif
}

bool LzmaDecodeBuf(const unsigned char* src, size_t srcLen, unsigned char* dest, size_t* destLen) {
  if (!src || !destLen || srcLen < kPropsSize || (!dest && *destLen != 0)) return false;
  const size_t capacity = *destLen;
  *destLen = 0;
  Decoder decoder;
  if (!decoder.Start(src, capacity)) return false;
  decoder.Input(src + kPropsSize, srcLen - kPropsSize);
  lzma_ret result = decoder.Code(dest, capacity);
  // Reaching the size with the output full may need one more call to see
  // whether an end marker follows.
  if (result == LZMA_OK && decoder.Produced() == capacity) result = decoder.Code(nullptr, 0);
  *destLen = static_cast<size_t>(decoder.Produced());
  return result == LZMA_STREAM_END && *destLen == capacity;
}

int Zf7zDecompress(const std::string& in, std::string& out) {
  out.clear();
  if (in.size() < 4 || ReadLE32(in.data()) != kMagic) return -1;
  if (in.size() < kHeaderSize + kPropsSize) return -2;
  const uint32_t size = ReadLE32(in.data() + 8);
  // Items carry 32-bit signed sizes, and the result must hold the size.
  if (size > static_cast<uint32_t>(INT_MAX)) return -2;
  const unsigned char* props = reinterpret_cast<const unsigned char*>(in.data()) + kHeaderSize;
  bool decoded = false;
  try {
    decoded = DecodeGrowing(props, props + kPropsSize, in.size() - kHeaderSize - kPropsSize, size, &out);
  } catch (const std::bad_alloc&) {
    decoded = false;  // a size we cannot hold is a container we cannot read
  }
  if (!decoded) {
    std::string().swap(out);
    return -2;
  }
  return static_cast<int>(size);
}

int Zf7zDecompressToFile(std::string_view container, const std::wstring& targetPath) {
  if (container.size() < kHeaderSize + kPropsSize || ReadLE32(container.data()) != kMagic) return -4;
  const uint32_t size = ReadLE32(container.data() + 8);
  if (size > static_cast<uint32_t>(INT_MAX)) return -4;
  const unsigned char* props = reinterpret_cast<const unsigned char*>(container.data()) + kHeaderSize;
  Decoder decoder;
  if (!decoder.Start(props, size)) return -4;
  decoder.Input(props + kPropsSize, container.size() - kHeaderSize - kPropsSize);
  CWinFile file;
  if (!file.Open(targetPath, CWinFile::modeWrite, /*create=*/true, /*truncate=*/true)) return -7;
  // Decoded a piece at a time straight into the file: the decoded file is
  // never held in memory beside its container.
  std::string piece(size < kPieceSize ? (size > 0 ? size : 1) : kPieceSize, '\0');
  int result = -4;
  for (;;) {
    const uint64_t before = decoder.Produced();
    const lzma_ret coded = decoder.Code(reinterpret_cast<unsigned char*>(&piece[0]), piece.size());
    const DWORD produced = static_cast<DWORD>(decoder.Produced() - before);
    if (produced > 0 && !file.Write(piece.data(), produced)) {
      result = -8;
      break;
    }
    if (coded == LZMA_STREAM_END) {
      if (decoder.Produced() == size) result = static_cast<int>(size);
      break;
    }
    if (coded != LZMA_OK) break;
  }
  file.Close();
  // What did not decode whole is no file of the update.
  if (result < 0) DeleteFileEx(targetPath, false);
  return result;
}
