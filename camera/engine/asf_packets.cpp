#include "engine/asf_packets.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "engine/in_place_file.h"

namespace capture {

namespace {

// The objects the fix-ups read and write, by their GUIDs as the file stores them.
using Guid = std::uint8_t[16];
constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                    0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kVideoMedia = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                              0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
constexpr Guid kDataObject = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                              0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kSimpleIndex = {0x90, 0x08, 0x00, 0x33, 0xB1, 0xE5, 0xCF, 0x11,
                               0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xCB};

// The data object's own fields before its packets; the simple index's before its entries.
constexpr std::size_t kDataObjectHead = 50;
constexpr std::size_t kSimpleIndexHead = 56;
// One index entry per second of the file (100-ns units), as the multiplexer writes it.
constexpr std::uint64_t kIndexInterval = 10000000;
// A header larger than this is no header the multiplexer wrote.
constexpr std::uint64_t kMaxHeader = 1 << 20;

template <class T>
T Read(const std::vector<char>& b, std::size_t at) {
  T v{};
  if (at + sizeof v <= b.size()) std::memcpy(&v, b.data() + at, sizeof v);  // little-endian like the file
  return v;
}

template <class T>
void Put(std::vector<char>& b, std::size_t at, T v) {
  if (at + sizeof v <= b.size()) std::memcpy(b.data() + at, &v, sizeof v);
}

// A length field of a packet: 0 (absent), 1, 2 or 4 bytes.
std::size_t FieldBytes(int type) { return type == 3 ? 4 : std::size_t(type); }

std::uint32_t ReadField(const std::vector<char>& b, std::size_t at, std::size_t bytes) {
  switch (bytes) {
    case 1: return Read<std::uint8_t>(b, at);
    case 2: return Read<std::uint16_t>(b, at);
    case 4: return Read<std::uint32_t>(b, at);
    default: return 0;
  }
}

// Where the header's objects lie, from its first bytes (the header object and the data object's
// head behind it).
struct Layout {
  std::uint64_t headerSize = 0;      // where the data object starts
  std::size_t fileProperties = 0;    // offset of the file properties object
  std::uint32_t packetSize = 0;      // the fixed packet size; 0 when packets vary
  std::uint64_t prerollMs = 0;
  std::set<int> videoStreams;        // stream numbers
};

bool ReadLayout(const std::vector<char>& b, Layout* layout) {
  if (b.size() < 30 || std::memcmp(b.data(), kHeaderObject, 16) != 0) return false;
  layout->headerSize = Read<std::uint64_t>(b, 16);
  for (std::size_t at = 30; at + 24 <= layout->headerSize && at + 24 <= b.size();) {
    const std::uint64_t size = Read<std::uint64_t>(b, at + 16);
    if (size < 24) break;
    if (std::memcmp(b.data() + at, kFileProperties, 16) == 0) {
      layout->fileProperties = at;
      layout->prerollMs = Read<std::uint64_t>(b, at + 80);
      const std::uint32_t min = Read<std::uint32_t>(b, at + 92), max = Read<std::uint32_t>(b, at + 96);
      if (min == max) layout->packetSize = min;
    } else if (std::memcmp(b.data() + at, kStreamProperties, 16) == 0 && at + 74 <= b.size() &&
               std::memcmp(b.data() + at + 24, kVideoMedia, 16) == 0) {
      layout->videoStreams.insert(Read<std::uint16_t>(b, at + 72) & 0x7F);
    }
    at += size;
  }
  const std::size_t data = std::size_t(layout->headerSize);
  return layout->fileProperties != 0 && layout->packetSize != 0 && data + kDataObjectHead <= b.size() &&
         std::memcmp(b.data() + data, kDataObject, 16) == 0;
}

// The fields of a packet's head; `at` is the packet's first byte in `b`.
struct PacketHead {
  std::size_t lengthAt = 0, lengthBytes = 0;
  std::uint32_t length = 0, padding = 0;
  std::uint32_t sendTimeMs = 0;
  std::uint8_t property = 0;  // the field sizes of the payloads
  bool multiple = false;
  std::size_t payloadsAt = 0;  // after the head
};

bool ReadPacketHead(const std::vector<char>& b, std::size_t at, PacketHead* h) {
  const auto first = Read<std::uint8_t>(b, at);
  if (first & 0x80) at += 1 + (first & 0x0F);  // error correction data
  const auto flags = Read<std::uint8_t>(b, at);
  h->multiple = flags & 1;
  h->lengthBytes = FieldBytes((flags >> 5) & 3);
  const std::size_t sequenceBytes = FieldBytes((flags >> 1) & 3);
  const std::size_t paddingBytes = FieldBytes((flags >> 3) & 3);
  h->property = Read<std::uint8_t>(b, at + 1);
  h->lengthAt = at + 2;
  h->length = ReadField(b, h->lengthAt, h->lengthBytes);
  h->padding = ReadField(b, h->lengthAt + h->lengthBytes + sequenceBytes, paddingBytes);
  const std::size_t timeAt = h->lengthAt + h->lengthBytes + sequenceBytes + paddingBytes;
  h->sendTimeMs = Read<std::uint32_t>(b, timeAt);
  h->payloadsAt = timeAt + 6;  // send time and duration
  return h->payloadsAt <= b.size();
}

// One payload of a packet: a piece of a media object (a frame, a block of sound).
struct Payload {
  int stream = 0;
  bool key = false;
  bool whole = false;        // compressed payloads carry whole objects only
  std::uint32_t object = 0;  // media object number
  std::uint32_t offset = 0;  // of the piece in its object
  std::uint32_t objectSize = 0;
  std::uint32_t presentationMs = 0;
  std::uint32_t length = 0;  // of the piece
};

// The payloads of the packet `b` (one packet, `packetSize` bytes); false when they do not fit.
bool ReadPayloads(const std::vector<char>& b, std::uint32_t packetSize, std::vector<Payload>* out) {
  out->clear();
  PacketHead h;
  if (!ReadPacketHead(b, 0, &h)) return false;
  const std::size_t end = packetSize - std::min(h.padding, packetSize);
  const std::size_t objectBytes = FieldBytes((h.property >> 4) & 3);
  const std::size_t offsetBytes = FieldBytes((h.property >> 2) & 3);
  const std::size_t replicatedBytes = FieldBytes(h.property & 3);
  std::size_t at = h.payloadsAt;
  std::size_t count = 1, lengthBytes = 0;
  if (h.multiple) {
    const auto flags = Read<std::uint8_t>(b, at++);
    count = flags & 0x3F;
    lengthBytes = FieldBytes((flags >> 6) & 3);
  }
  for (std::size_t i = 0; i < count; ++i) {
    Payload p;
    const auto stream = Read<std::uint8_t>(b, at);
    p.stream = stream & 0x7F;
    p.key = stream & 0x80;
    at += 1;
    p.object = ReadField(b, at, objectBytes);
    at += objectBytes;
    p.offset = ReadField(b, at, offsetBytes);
    at += offsetBytes;
    const std::uint32_t replicated = ReadField(b, at, replicatedBytes);
    at += replicatedBytes;
    if (replicated >= 8) {
      p.objectSize = Read<std::uint32_t>(b, at);
      p.presentationMs = Read<std::uint32_t>(b, at + 4);
    } else if (replicated == 1) {
      p.presentationMs = p.offset;  // compressed payloads carry the time in place of the offset
      p.whole = true;
    }
    at += replicated;
    const std::size_t length = h.multiple ? ReadField(b, at, lengthBytes) : end - at;
    at += lengthBytes + length;
    if (at > end) return false;
    p.length = std::uint32_t(length);
    out->push_back(p);
  }
  return true;
}

bool ReadAt(const InPlaceFile& f, std::uint64_t at, std::vector<char>* b) { return f.ReadAt(at, b->data(), b->size()); }

bool WriteAt(const InPlaceFile& f, std::uint64_t at, const std::vector<char>& b) {
  return f.WriteAt(at, b.data(), b.size());
}

}  // namespace

bool FixAsfPacketLengths(const std::string& file) {
  const InPlaceFile fd(file);
  if (!fd.IsOpen()) return false;
  Layout layout;
  if (!ReadLayout(fd.Head(kMaxHeader), &layout)) return true;  // no ASF of ours
  const std::uint64_t data = layout.headerSize;
  const std::uint32_t packetSize = layout.packetSize;
  std::vector<char> count(8);
  if (!ReadAt(fd, data + 40, &count)) return true;
  const std::uint64_t packets = Read<std::uint64_t>(count, 0);
  std::vector<char> packet(packetSize);
  for (std::uint64_t i = 0; i < packets; ++i) {
    const std::uint64_t at = data + kDataObjectHead + i * packetSize;
    if (!ReadAt(fd, at, &packet)) break;
    PacketHead h;
    if (!ReadPacketHead(packet, 0, &h) || h.lengthBytes < 2) continue;  // one byte cannot hold the size
    if (h.length >= packetSize || std::uint64_t(h.length) + h.padding != packetSize) continue;
    std::vector<char> length(h.lengthBytes);
    if (h.lengthBytes == 2) Put(length, 0, std::uint16_t(packetSize));
    else Put(length, 0, packetSize);
    if (!WriteAt(fd, at + h.lengthAt, length)) return false;
  }
  return true;
}

bool CloseCutAsf(const std::string& file) {
  const InPlaceFile fd(file);
  const std::uint64_t fileSize = fd.Size();
  std::vector<char> head = fd.Head(kMaxHeader);
  Layout layout;
  if (!fd.IsOpen() || !ReadLayout(head, &layout)) return false;
  const std::uint64_t data = layout.headerSize;
  const std::uint32_t packetSize = layout.packetSize;
  const std::uint64_t firstPacket = data + kDataObjectHead;
  std::vector<char> packet(packetSize);
  std::vector<Payload> payloads;
  // Per stream: the object being put together from its pieces (a frame whose last pieces the disk
  // did not take is no frame), the newest whole key frame's first packet and the packets it spans,
  // and the newest whole object's presentation time.
  struct Object {
    std::uint32_t number = 0, size = 0, got = 0, packet = 0, presentationMs = 0;
    bool key = false, open = false;
  };
  std::map<int, Object> objects;
  struct KeyFrame {
    std::uint32_t packet = 0, count = 0;
    bool seen = false;
  };
  std::map<int, KeyFrame> keys;
  struct Times {
    std::uint32_t last = 0, gap = 0;  // the newest presentation time and the step to it
    bool seen = false;
  };
  std::map<int, Times> times;
  std::vector<std::pair<std::uint32_t, std::uint16_t>> index;  // packet, packets spanned
  const int indexed = layout.videoStreams.empty() ? -1 : *layout.videoStreams.begin();
  std::uint64_t nextIndexTime = 0;
  std::uint32_t maxCount = 0;
  // The packets read, and those up to the last one that completes an object: what follows holds
  // nothing whole and is given up with what follows the whole packets.
  std::uint64_t packets = 0, kept = 0;
  for (std::uint64_t at = firstPacket; at + packetSize <= fileSize; at += packetSize) {
    // The index the multiplexer began to write when the disk filled ends the packets too.
    if (!ReadAt(fd, at, &packet) || std::memcmp(packet.data(), kSimpleIndex, 16) == 0 ||
        !ReadPayloads(packet, packetSize, &payloads))
      break;
    const auto number = std::uint32_t(packets++);
    for (const Payload& p : payloads) {
      Object& o = objects[p.stream];
      if (p.whole || p.offset == 0) o = Object{p.object, p.objectSize, 0, number, p.presentationMs, p.key, true};
      else if (!o.open || o.number != p.object || o.got != p.offset) continue;  // its start is missing
      o.got += p.length;
      if (!p.whole && o.got < o.size) continue;
      o.open = false;
      kept = packets;
      Times& t = times[p.stream];
      t.gap = t.seen && o.presentationMs > t.last ? o.presentationMs - t.last : t.gap;
      t.last = o.presentationMs;
      t.seen = true;
      if (p.stream != indexed) continue;
      // Each interval up to this frame points at the key frame before it.
      KeyFrame& key = keys[p.stream];
      for (; key.seen && nextIndexTime <= std::uint64_t(o.presentationMs) * 10000; nextIndexTime += kIndexInterval)
        index.emplace_back(key.packet, std::uint16_t(key.count));
      if (o.key) key = KeyFrame{o.packet, number - o.packet + 1, true};
      maxCount = std::max(maxCount, key.count);
    }
  }
  packets = kept;
  const std::uint64_t dataEnd = firstPacket + packets * packetSize;
  if (!fd.Truncate(dataEnd)) return false;
  // The play ends a frame after the latest whole frame of the video (of any stream without video).
  std::uint64_t endMs = layout.prerollMs;
  for (const auto& [stream, t] : times)
    if (layout.videoStreams.empty() || layout.videoStreams.count(stream))
      endMs = std::max<std::uint64_t>(endMs, std::uint64_t(t.last) + t.gap);
  // The index behind the packets when the disk takes it.
  bool indexWritten = false;
  if (indexed >= 0) {
    std::vector<char> object(kSimpleIndexHead + 6 * index.size());
    std::memcpy(object.data(), kSimpleIndex, 16);
    Put(object, 16, std::uint64_t(object.size()));
    std::memcpy(object.data() + 24, head.data() + data + 24, 16);  // the file's id
    Put(object, 40, kIndexInterval);
    Put(object, 48, maxCount);
    Put(object, 52, std::uint32_t(index.size()));
    for (std::size_t i = 0; i < index.size(); ++i) {
      Put(object, kSimpleIndexHead + 6 * i, index[i].first);
      Put(object, kSimpleIndexHead + 6 * i + 4, index[i].second);
    }
    indexWritten = WriteAt(fd, dataEnd, object);
    if (!indexWritten && !fd.Truncate(dataEnd)) return false;
  }
  const std::uint64_t total = fd.Size();
  // The sizes, the counts and the duration, over the bytes already there.
  const std::size_t fp = layout.fileProperties;
  Put(head, fp + 40, total);
  Put(head, fp + 56, packets);
  Put(head, fp + 64, endMs * 10000);
  Put(head, fp + 72, (endMs - layout.prerollMs) * 10000);
  std::uint32_t flags = Read<std::uint32_t>(head, fp + 88) & ~1u;  // not a broadcast
  if (indexWritten) flags |= 2;                                      // seekable
  Put(head, fp + 88, flags);
  Put(head, std::size_t(data) + 16, dataEnd - data);
  Put(head, std::size_t(data) + 40, packets);
  head.resize(std::size_t(firstPacket));
  return WriteAt(fd, 0, head) && fd.Sync();
}

}  // namespace capture
