#include "engine/avi_header.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace capture {

namespace {

// The headers lie at the file's start, in the list "hdrl"; this is far more than they take.
constexpr std::size_t kHeaderBytes = 64 * 1024;

std::uint32_t Le32(const std::vector<char>& b, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);  // the machine is little-endian like the file
  return v;
}

// Plain bitmaps and the raw YUV layouts the multiplexer stores under their own codes.
bool Uncompressed(std::uint32_t compression) {
  if (compression == 0) return true;
  for (const char* code : {"I420", "YV12", "NV12", "YUY2", "UYVY", "YVYU", "Y41B", "Y42B"}) {
    std::uint32_t fourcc = 0;
    std::memcpy(&fourcc, code, 4);
    if (compression == fourcc) return true;
  }
  return false;
}

}  // namespace

bool FixRawImageSize(const std::string& file) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  if (!f) return false;
  std::vector<char> head(kHeaderBytes);
  f.read(head.data(), std::streamsize(head.size()));
  head.resize(std::size_t(f.gcount()));
  f.clear();
  if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "AVI ", 4) != 0)
    return true;
  // Each stream header ("strh", its type at +8) is followed by its format ("strf").
  for (std::size_t at = 12; at + 8 <= head.size();) {
    if (std::memcmp(head.data() + at, "strh", 4) != 0) {
      ++at;
      continue;
    }
    const std::size_t strhSize = Le32(head, at + 4);
    const bool video = at + 12 <= head.size() && std::memcmp(head.data() + at + 8, "vids", 4) == 0;
    const std::size_t strf = at + 8 + strhSize + (strhSize & 1);
    at = strf;
    if (!video || strf + 8 + 40 > head.size() || std::memcmp(head.data() + strf, "strf", 4) != 0) continue;
    const std::size_t bih = strf + 8;
    const std::int32_t width = std::int32_t(Le32(head, bih + 4));
    const std::int32_t height = std::int32_t(Le32(head, bih + 8));
    std::uint16_t bitCount = 0;
    std::memcpy(&bitCount, head.data() + bih + 14, 2);
    const std::uint32_t compression = Le32(head, bih + 16);
    if (width <= 0 || bitCount == 0 || !Uncompressed(compression)) continue;
    // RGB rows are padded to 4 bytes; the planes of YUV follow each other unpadded.
    const std::uint32_t rows = std::uint32_t(std::abs(height));
    const std::uint32_t size = compression == 0 ? std::uint32_t((width * bitCount + 31) / 32 * 4) * rows
                                                : std::uint32_t(width) * rows * bitCount / 8;
    if (Le32(head, bih + 20) == size) continue;
    f.seekp(std::streamoff(bih + 20));
    f.write(reinterpret_cast<const char*>(&size), 4);
    if (!f) return false;
  }
  return true;
}

}  // namespace capture
