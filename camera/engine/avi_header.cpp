#include "engine/avi_header.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <algorithm>
#include <string>
#include <vector>

#include <sys/statvfs.h>

#include "engine/in_place_file.h"

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

struct Chunk {
  char id[4];
  std::uint32_t offset;  // of its header in the file
  std::uint32_t size;
};

bool WriteLe32(const InPlaceFile& f, std::uint64_t at, std::uint32_t v) { return f.WriteAt(at, &v, 4); }

// A stream's data chunk: two digits of its number and two letters ("00dc", "01wb").
bool IsStreamChunk(const char* id) {
  return id[0] >= '0' && id[0] <= '9' && id[1] >= '0' && id[1] <= '9';
}

std::uint64_t FreeBytes(const InPlaceFile& f) {
  struct statvfs fs {};
  return fstatvfs(f.Descriptor(), &fs) == 0 ? std::uint64_t(fs.f_bavail) * fs.f_frsize : 0;
}

// Where a header of the given fourcc starts in the head (std::string::npos when absent).
std::size_t FindHeader(const std::vector<char>& head, const char* fourcc, std::size_t from = 12) {
  for (std::size_t at = from; at + 8 <= head.size(); ++at)
    if (std::memcmp(head.data() + at, fourcc, 4) == 0) return at;
  return std::string::npos;
}

}  // namespace

bool CloseCutAvi(const std::string& file) {
  const InPlaceFile fd(file);
  const std::uint64_t fileSize = fd.Size();
  const std::vector<char> head = fd.Head(kHeaderBytes);
  if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "AVI ", 4) != 0)
    return false;
  // The top-level lists up to "movi".
  std::uint64_t movi = 0;
  for (std::uint64_t at = 12; at + 12 <= fileSize;) {
    char id[12];
    if (!fd.ReadAt(at, id, sizeof id)) return false;
    std::uint32_t size = 0;
    std::memcpy(&size, id + 4, 4);
    if (std::memcmp(id, "LIST", 4) == 0 && std::memcmp(id + 8, "movi", 4) == 0) {
      movi = at;
      break;
    }
    at += 8 + std::uint64_t(size) + (size & 1);
  }
  if (movi == 0) return false;
  // The complete chunks of the streams, in file order.
  std::vector<Chunk> chunks;
  for (std::uint64_t at = movi + 12; at + 8 <= fileSize && at < 0xFFFFFFFFu;) {
    Chunk c{};
    char header[8];
    if (!fd.ReadAt(at, header, sizeof header)) break;
    std::memcpy(c.id, header, 4);
    std::memcpy(&c.size, header + 4, 4);
    const std::uint64_t end = at + 8 + c.size + (c.size & 1);
    if (!IsStreamChunk(c.id) || end > fileSize) break;
    c.offset = std::uint32_t(at);
    chunks.push_back(c);
    at = end;
  }
  auto endOf = [&](std::size_t n) {
    return n == 0 ? movi + 12 : chunks[n - 1].offset + 8 + std::uint64_t(chunks[n - 1].size) + (chunks[n - 1].size & 1);
  };
  // What follows the last chunk is given up; then chunks from the end until the index fits.
  std::size_t n = chunks.size();
  if (!fd.Truncate(endOf(n))) return false;
  while (n > 0 && FreeBytes(fd) < 8 + 16 * std::uint64_t(n)) {
    --n;
    if (!fd.Truncate(endOf(n))) return false;
  }
  chunks.resize(n);
  std::vector<std::uint32_t> index;
  index.reserve(2 + 4 * n);
  index.push_back(0);
  index.push_back(std::uint32_t(16 * n));
  std::memcpy(&index[0], "idx1", 4);
  std::map<int, std::uint64_t> counts, bytes;  // per stream number
  for (const Chunk& c : chunks) {
    std::uint32_t id = 0;
    std::memcpy(&id, c.id, 4);
    index.insert(index.end(), {id, 0x10u /* key frame */, std::uint32_t(c.offset - (movi + 8)), c.size});
    const int stream = (c.id[0] - '0') * 10 + (c.id[1] - '0');
    ++counts[stream];
    bytes[stream] += c.size;
  }
  const std::uint64_t end = endOf(n);
  const std::size_t indexBytes = index.size() * 4;
  if (!fd.WriteAt(end, index.data(), indexBytes) && !fd.Truncate(end)) return false;
  const std::uint64_t total = fd.Size();
  bool ok = WriteLe32(fd, 4, std::uint32_t(total - 8)) && WriteLe32(fd, movi + 4, std::uint32_t(end - (movi + 8)));
  // The main header: flags (an index is there) and the number of frames of the first stream.
  if (const std::size_t avih = FindHeader(head, "avih"); avih != std::string::npos && avih + 8 + 20 <= head.size()) {
    ok = ok && WriteLe32(fd, avih + 8 + 12, Le32(head, avih + 8 + 12) | 0x10u) &&
         WriteLe32(fd, avih + 8 + 16, std::uint32_t(counts[0]));
  }
  // Each stream's length: frames, or samples of a stream with a fixed sample size.
  int stream = 0;
  for (std::size_t at = FindHeader(head, "strh"); at != std::string::npos && at + 8 + 48 <= head.size();
       at = FindHeader(head, "strh", at + 8), ++stream) {
    const std::uint32_t sampleSize = Le32(head, at + 8 + 44);
    const std::uint64_t length = sampleSize ? bytes[stream] / sampleSize : counts[stream];
    ok = ok && WriteLe32(fd, at + 8 + 32, std::uint32_t(length));
  }
  if (const std::size_t dmlh = FindHeader(head, "dmlh"); dmlh != std::string::npos && dmlh + 12 <= head.size())
    ok = ok && WriteLe32(fd, dmlh + 8, std::uint32_t(counts[0]));
  return ok && fd.Sync();
}

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
