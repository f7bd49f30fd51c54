#include "engine/avi_header.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
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

// A stream's header ("strh") and what its format ("strf") tells of the sound.
struct StreamHeader {
  std::size_t at = 0;  // of "strh" in the head
  bool video = false, audio = false;
  std::uint32_t scale = 0, rate = 0, sampleSize = 0;
  std::uint32_t bytesPerSecond = 0, blockAlign = 0;  // sound only
};

// The headers of the streams, in the order of their numbers.
std::vector<StreamHeader> ReadStreamHeaders(const std::vector<char>& head) {
  std::vector<StreamHeader> streams;
  for (std::size_t at = FindHeader(head, "strh"); at != std::string::npos && at + 8 + 48 <= head.size();
       at = FindHeader(head, "strh", at + 8)) {
    StreamHeader s;
    s.at = at;
    s.video = std::memcmp(head.data() + at + 8, "vids", 4) == 0;
    s.audio = std::memcmp(head.data() + at + 8, "auds", 4) == 0;
    s.scale = Le32(head, at + 8 + 20);
    s.rate = Le32(head, at + 8 + 24);
    s.sampleSize = Le32(head, at + 8 + 44);
    const std::size_t size = Le32(head, at + 4);
    const std::size_t strf = at + 8 + size + (size & 1);
    if (s.audio && strf + 8 + 14 <= head.size() && std::memcmp(head.data() + strf, "strf", 4) == 0) {
      s.bytesPerSecond = Le32(head, strf + 8 + 8);
      std::uint16_t align = 0;
      std::memcpy(&align, head.data() + strf + 8 + 12, 2);
      s.blockAlign = align;
    }
    streams.push_back(s);
  }
  return streams;
}

int StreamNumber(const char* id) { return (id[0] - '0') * 10 + (id[1] - '0'); }

// The bytes of each stream of fixed-size sound samples that play within the first video stream's
// frames among `chunks`; none when the file has no video (sound alone is kept whole).
std::map<int, std::uint64_t> SoundWithinVideo(const std::vector<StreamHeader>& streams,
                                              const std::vector<Chunk>& chunks) {
  std::map<int, std::uint64_t> limits;
  const auto video = std::find_if(streams.begin(), streams.end(), [](const StreamHeader& s) { return s.video; });
  if (video == streams.end() || video->rate == 0) return limits;
  const int videoNumber = int(video - streams.begin());
  const auto frames = std::uint64_t(std::count_if(
      chunks.begin(), chunks.end(), [&](const Chunk& c) { return StreamNumber(c.id) == videoNumber; }));
  for (std::size_t n = 0; n < streams.size(); ++n) {
    const StreamHeader& s = streams[n];
    if (!s.audio || s.sampleSize == 0 || s.bytesPerSecond == 0 || s.blockAlign == 0) continue;
    const std::uint64_t bytes = frames * video->scale * s.bytesPerSecond / video->rate;
    limits[int(n)] = bytes / s.blockAlign * s.blockAlign;
  }
  return limits;
}

std::uint64_t EndOf(const Chunk& c) { return c.offset + 8 + std::uint64_t(c.size) + (c.size & 1); }

// The sound ends with the last whole frame: chunks beyond it are given up (those between kept
// chunks become filler), the one across it is cut short and filler takes the rest of its room.
// `chunks` keeps what stays, with the sizes it now has. False when the file could not be written.
bool EndSoundWithVideo(const InPlaceFile& fd, const std::vector<StreamHeader>& streams, std::vector<Chunk>* chunks) {
  const std::map<int, std::uint64_t> limits = SoundWithinVideo(streams, *chunks);
  std::map<int, std::uint64_t> sound;  // bytes so far, per stream
  std::vector<Chunk> kept;
  std::vector<std::uint32_t> filler;  // offsets of chunks that become filler
  for (const Chunk& c : *chunks) {
    const auto limit = limits.find(StreamNumber(c.id));
    if (limit == limits.end()) {
      kept.push_back(c);
      continue;
    }
    std::uint64_t& before = sound[limit->first];
    const std::uint32_t align = streams[std::size_t(limit->first)].blockAlign;
    std::uint32_t size = c.size;
    if (before + size > limit->second) size = std::uint32_t(limit->second - std::min(before, limit->second));
    // Filler needs a header of 8 bytes in the room left.
    const auto room = [&](std::uint32_t bytes) { return (c.size + (c.size & 1)) - (bytes + (bytes & 1)); };
    while (size > 0 && room(size) > 0 && room(size) < 8) size = size > align ? size - align : 0;
    before += size;
    if (size == 0) {
      filler.push_back(c.offset);
      continue;
    }
    if (size < c.size) {
      const std::uint64_t at = c.offset + 8 + std::uint64_t(size) + (size & 1);
      if (!WriteLe32(fd, c.offset + 4, size) || !fd.WriteAt(at, "JUNK", 4) || !WriteLe32(fd, at + 4, room(size) - 8))
        return false;
    }
    Chunk shorter = c;
    shorter.size = size;
    kept.push_back(shorter);
  }
  const std::uint64_t end = kept.empty() ? 0 : EndOf(kept.back());
  for (std::uint32_t at : filler)
    if (at < end && !fd.WriteAt(at, "JUNK", 4)) return false;
  *chunks = std::move(kept);
  return true;
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
  auto endOf = [&](std::size_t n) { return n == 0 ? movi + 12 : EndOf(chunks[n - 1]); };
  // What follows the last chunk is given up, the sound after the last frame too; then chunks
  // from the end until the index fits.
  const std::vector<StreamHeader> streams = ReadStreamHeaders(head);
  std::size_t n = chunks.size();
  for (;;) {
    chunks.resize(n);
    if (!EndSoundWithVideo(fd, streams, &chunks)) return false;
    n = chunks.size();
    if (!fd.Truncate(endOf(n))) return false;
    if (n == 0 || FreeBytes(fd) >= 8 + 16 * std::uint64_t(n)) break;
    --n;
  }
  // Without a chunk left, an empty one of the sound keeps the index from being empty, which some
  // demuxers take for a file they cannot read (and stall on, instead of failing).
  const auto sound = std::find_if(streams.begin(), streams.end(), [](const StreamHeader& s) { return s.audio; });
  if (n == 0 && sound != streams.end() && FreeBytes(fd) >= 8 + 8 + 16) {
    const int number = int(sound - streams.begin());
    Chunk empty{{char('0' + number / 10), char('0' + number % 10), 'w', 'b'}, std::uint32_t(movi + 12), 0};
    if (fd.WriteAt(empty.offset, empty.id, 4) && WriteLe32(fd, empty.offset + 4, 0)) chunks.push_back(empty);
    n = chunks.size();
  }
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
    const int stream = StreamNumber(c.id);
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
  for (std::size_t stream = 0; stream < streams.size(); ++stream) {
    const StreamHeader& s = streams[stream];
    const std::uint64_t length = s.sampleSize ? bytes[int(stream)] / s.sampleSize : counts[int(stream)];
    ok = ok && WriteLe32(fd, s.at + 8 + 32, std::uint32_t(length));
  }
  if (const std::size_t dmlh = FindHeader(head, "dmlh"); dmlh != std::string::npos && dmlh + 12 <= head.size())
    ok = ok && WriteLe32(fd, dmlh + 8, std::uint32_t(counts[0]));
  return ok && fd.Sync();
}

bool FixRawImageSize(const std::string& file) {
  const InPlaceFile f(file);
  if (!f.IsOpen()) return false;
  const std::vector<char> head = f.Head(kHeaderBytes);
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
    if (!WriteLe32(f, bih + 20, size)) return false;
  }
  return true;
}

}  // namespace capture
