#pragma once
// Media types as the control's interface speaks of them: a major type, a subtype GUID, a format
// block holding a video info header with its bitmap header. The engine translates them to and
// from GStreamer caps; hosts only ever see these.
#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

#include "com/guid.h"
#include "engine/hresult.h"

namespace capture {

// Identifiers of types, subtypes and formats: the component layer's GUID.
using Guid = com::Guid;

// The subtype of a four-character code: the code as the first 32 bits, then
// -0000-0010-8000-00AA00389B71.
constexpr Guid FourccGuid(const char (&code)[5]) {
  return Guid{std::uint32_t(std::uint8_t(code[0])) | std::uint32_t(std::uint8_t(code[1])) << 8 |
                  std::uint32_t(std::uint8_t(code[2])) << 16 | std::uint32_t(std::uint8_t(code[3])) << 24,
              0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr std::uint32_t Fourcc(const char (&code)[5]) { return FourccGuid(code).data1; }

namespace guid {
inline constexpr Guid kMediaTypeVideo = FourccGuid("vids");
inline constexpr Guid kFormatVideoInfo{0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr Guid kFormatVideoInfo2{0xF72A76A0, 0xEB0A, 0x11D0, {0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
// The uncompressed RGB subtypes {E436EB78..7E-524F-11CE-9F53-0020AF0BA770}.
constexpr Guid RgbGuid(std::uint32_t data1) {
  return Guid{data1, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
}
inline constexpr Guid kRGB1 = RgbGuid(0xE436EB78);
inline constexpr Guid kRGB4 = RgbGuid(0xE436EB79);
inline constexpr Guid kRGB8 = RgbGuid(0xE436EB7A);
inline constexpr Guid kRGB565 = RgbGuid(0xE436EB7B);
inline constexpr Guid kRGB555 = RgbGuid(0xE436EB7C);
inline constexpr Guid kRGB24 = RgbGuid(0xE436EB7D);
inline constexpr Guid kRGB32 = RgbGuid(0xE436EB7E);
inline constexpr Guid kOverlay = RgbGuid(0xE436EB7F);
inline constexpr Guid kMPEG1Packet = RgbGuid(0xE436EB80);
inline constexpr Guid kMPEG1Payload = RgbGuid(0xE436EB81);
inline constexpr Guid kQuickTimeMovie = RgbGuid(0xE436EB89);
inline constexpr Guid kARGB32{0x773C9AC0, 0x3274, 0x11D0, {0xB7, 0x24, 0x00, 0xAA, 0x00, 0x6C, 0x1A, 0x01}};
inline constexpr Guid kVPVideo{0x5A9B6A40, 0x1A22, 0x11D1, {0xBA, 0xD9, 0x00, 0x60, 0x97, 0x44, 0x11, 0x1A}};
inline constexpr Guid kVPVBI{0x5A9B6A41, 0x1A22, 0x11D1, {0xBA, 0xD9, 0x00, 0x60, 0x97, 0x44, 0x11, 0x1A}};
inline constexpr Guid kYUY2 = FourccGuid("YUY2");
inline constexpr Guid kUYVY = FourccGuid("UYVY");
inline constexpr Guid kYVYU = FourccGuid("YVYU");
inline constexpr Guid kMJPG = FourccGuid("MJPG");
inline constexpr Guid kDvsd = FourccGuid("dvsd");
}  // namespace guid

inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiBitfields = 3;

// The 40-byte bitmap header, laid out as hosts read it (ten 32-bit words).
struct BitmapInfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

struct Rect32 {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The video info header of a format block: two rectangles, two rates, the frame time in 100 ns,
// then the bitmap header.
struct VideoInfoHeader {
  Rect32 rcSource;
  Rect32 rcTarget;
  std::uint32_t dwBitRate = 0;
  std::uint32_t dwBitErrorRate = 0;
  std::int64_t AvgTimePerFrame = 0;
  BitmapInfoHeader bmiHeader;
};
static_assert(sizeof(VideoInfoHeader) == 88);

// The size range of one capability entry.
struct VideoStreamConfigCaps {
  std::int32_t MinOutputSizeX = 0, MinOutputSizeY = 0;
  std::int32_t MaxOutputSizeX = 0, MaxOutputSizeY = 0;
  std::int32_t OutputGranularityX = 0, OutputGranularityY = 0;
  std::int64_t MinFrameInterval = 0, MaxFrameInterval = 0;
};

// A media type with its format block owned by value.
struct MediaType {
  Guid majortype;
  Guid subtype;
  bool bFixedSizeSamples = true;
  bool bTemporalCompression = false;
  std::uint32_t lSampleSize = 1;
  Guid formattype;
  std::vector<std::uint8_t> format;  // the format block; empty when there is none

  // The format block read as a video info header, whatever the format type says; null when the
  // block is too short to hold one.
  VideoInfoHeader* Vih();
  const VideoInfoHeader* Vih() const;
};

// A fresh media type: everything zero, fixed-size samples, sample size 1.
void InitMediaType(MediaType& mt);
// Drops the format block; a second call does nothing.
void FreeMediaType(MediaType& mt);

// The colour-space code of a subtype (0 to 36, 37 for a subtype not in the list).
short SubtypeToColorSpace(const Guid& subtype);

// Subtype of a GStreamer caps structure (raw formats, JPEG, DV); the null GUID when unknown.
Guid SubtypeFromStructure(const GstStructure* s);
// Bits per pixel the bitmap header gives for a subtype (0 when unknown) and its compression word.
int BitCountOfSubtype(const Guid& subtype);
std::uint32_t CompressionOfSubtype(const Guid& subtype);
// Bytes of an uncompressed picture: rows padded to 32 bits.
std::uint32_t DibSize(std::int32_t width, std::int32_t height, int bitCount);

// Media type of a fixed caps structure (width, height and frame rate fixed).
MediaType MediaTypeFromStructure(const GstStructure* s);
// Caps wanted for a media type: name, format, width and height (no frame rate); null when the
// subtype has no GStreamer counterpart or the size is not positive.
GstCaps* CapsFromMediaType(const MediaType& mt);
// The GStreamer raw format of an uncompressed subtype (GST_VIDEO_FORMAT_UNKNOWN when none).
const char* RawFormatOfSubtype(const Guid& subtype);

}  // namespace capture
