#pragma once
// The host's font description for the text overlay: 60 bytes, five 32-bit values, eight bytes and
// a 32-byte narrow face name in the ANSI code page (CP932), NUL-terminated within its 32 bytes.
// The control passes the host's bytes through as they are, so this is the one definition.
#include <cstdint>

namespace capture {

struct LogFontA {
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
static_assert(sizeof(LogFontA) == 60, "the host's font description is 60 bytes");

}  // namespace capture
