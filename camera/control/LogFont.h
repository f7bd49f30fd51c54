#pragma once
// The font description a host passes for the text overlay: 60 bytes, five 32-bit values, eight
// bytes and a 32-byte narrow (CP932) face name that always ends with a terminator here.
#include <cstdint>

namespace ornik {

struct LogFont {
  std::int32_t lfHeight = 0;
  std::int32_t lfWidth = 0;
  std::int32_t lfEscapement = 0;
  std::int32_t lfOrientation = 0;
  std::int32_t lfWeight = 0;
  std::uint8_t lfItalic = 0;
  std::uint8_t lfUnderline = 0;
  std::uint8_t lfStrikeOut = 0;
  std::uint8_t lfCharSet = 0;
  std::uint8_t lfOutPrecision = 0;
  std::uint8_t lfClipPrecision = 0;
  std::uint8_t lfQuality = 0;
  std::uint8_t lfPitchAndFamily = 0;
  char lfFaceName[32] = {};
};
static_assert(sizeof(LogFont) == 60, "the host's font description is 60 bytes");

}  // namespace ornik
