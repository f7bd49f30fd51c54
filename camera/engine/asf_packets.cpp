#include "engine/asf_packets.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace capture {

namespace {

// The objects the fix-up reads, by their GUIDs as the file stores them.
constexpr std::uint8_t kHeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::uint8_t kDataObject[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

template <class T>
T Read(const std::vector<char>& b, std::size_t at) {
  T v{};
  if (at + sizeof v <= b.size()) std::memcpy(&v, b.data() + at, sizeof v);  // little-endian like the file
  return v;
}

// A length field of the packet header: 0 (absent), 1, 2 or 4 bytes.
std::size_t FieldBytes(int type) { return type == 3 ? 4 : std::size_t(type); }

std::uint32_t ReadField(const std::vector<char>& b, std::size_t at, std::size_t bytes) {
  switch (bytes) {
    case 1: return Read<std::uint8_t>(b, at);
    case 2: return Read<std::uint16_t>(b, at);
    case 4: return Read<std::uint32_t>(b, at);
    default: return 0;
  }
}

}  // namespace

bool FixAsfPacketLengths(const std::string& file) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  if (!f) return false;
  std::vector<char> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  f.clear();
  if (b.size() < 30 || std::memcmp(b.data(), kHeaderObject, 16) != 0) return true;
  const std::uint64_t headerSize = Read<std::uint64_t>(b, 16);
  // The fixed packet size (minimum = maximum) from the file properties.
  std::uint32_t packetSize = 0;
  for (std::size_t at = 30; at + 24 <= headerSize && at + 24 <= b.size();) {
    const std::uint64_t size = Read<std::uint64_t>(b, at + 16);
    if (size < 24) break;
    if (std::memcmp(b.data() + at, kFileProperties, 16) == 0) {
      const std::uint32_t min = Read<std::uint32_t>(b, at + 24 + 68), max = Read<std::uint32_t>(b, at + 24 + 72);
      if (min == max) packetSize = min;
    }
    at += size;
  }
  const std::size_t data = std::size_t(headerSize);
  if (packetSize == 0 || data + 50 > b.size() || std::memcmp(b.data() + data, kDataObject, 16) != 0) return true;
  const std::uint64_t packets = Read<std::uint64_t>(b, data + 40);
  for (std::uint64_t i = 0; i < packets; ++i) {
    std::size_t at = data + 50 + std::size_t(i) * packetSize;
    if (at + packetSize > b.size()) break;
    const auto first = Read<std::uint8_t>(b, at);
    if (first & 0x80) at += 1 + (first & 0x0F);  // error correction data
    const auto flags = Read<std::uint8_t>(b, at);
    const std::size_t lengthBytes = FieldBytes((flags >> 5) & 3);
    const std::size_t sequenceBytes = FieldBytes((flags >> 1) & 3);
    const std::size_t paddingBytes = FieldBytes((flags >> 3) & 3);
    const std::size_t lengthAt = at + 2;  // after the length type and property flags
    if (lengthBytes < 2) continue;        // a one-byte length cannot hold the packet size
    const std::uint32_t length = ReadField(b, lengthAt, lengthBytes);
    const std::uint32_t padding = ReadField(b, lengthAt + lengthBytes + sequenceBytes, paddingBytes);
    if (length >= packetSize || std::uint64_t(length) + padding != packetSize) continue;
    f.seekp(std::streamoff(lengthAt));
    if (lengthBytes == 2) {
      const auto v = std::uint16_t(packetSize);
      f.write(reinterpret_cast<const char*>(&v), 2);
    } else {
      f.write(reinterpret_cast<const char*>(&packetSize), 4);
    }
    if (!f) return false;
  }
  return true;
}

}  // namespace capture
