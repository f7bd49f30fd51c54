#pragma once
// libjpencode.so: encodes one frame of 24-bit pixels as a baseline JPEG. Programs load it by
// name and look up JP_Compress; this header gives them its type.
//
//   src       pixels, 3 bytes each in the order blue, green, red; rows top-down, `rowBytes` apart
//   dst       room for the JPEG data
//   dstLen    in: the room in dst (at least JpegBound of the encoded area); out: the bytes written
//   width, height           the size of the picture in src
//   left, top, areaWidth, areaHeight   the part of the picture encoded (0, 0, width, height: all)
//   quality   1 to 100
//
// Returns 0 on success; 1 for arguments that do not describe a picture, 2 when dst has not the
// room JpegBound asks for, 3 when the encoder fails. Nothing is written past dstLen bytes.
#include <cstdint>

extern "C" {
using JP_CompressFn = std::int32_t (*)(const std::uint8_t* src, std::uint8_t* dst, std::int32_t* dstLen,
                                       std::int32_t width, std::int32_t height, std::int32_t rowBytes,
                                       std::int32_t left, std::int32_t top, std::int32_t areaWidth,
                                       std::int32_t areaHeight, std::int32_t quality);
}

namespace jpencode {

// The most bytes a JPEG of w x h pixels can take, whatever its quality and sampling.
inline std::uint64_t JpegBound(std::int32_t w, std::int32_t h) {
  if (w <= 0 || h <= 0) return 0;
  const std::uint64_t pw = (std::uint64_t(w) + 15) & ~std::uint64_t(15);
  const std::uint64_t ph = (std::uint64_t(h) + 15) & ~std::uint64_t(15);
  return pw * ph * 3 + 4096;
}

}  // namespace jpencode
