#include "engine/media_type.h"

#include <gst/video/video.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <cstdlib>

namespace capture {

VideoInfoHeader* MediaType::Vih() {
  return format.size() >= sizeof(VideoInfoHeader) ? reinterpret_cast<VideoInfoHeader*>(format.data()) : nullptr;
}
const VideoInfoHeader* MediaType::Vih() const {
  return format.size() >= sizeof(VideoInfoHeader) ? reinterpret_cast<const VideoInfoHeader*>(format.data())
                                                  : nullptr;
}

void InitMediaType(MediaType& mt) {
  mt = MediaType{};
  mt.bFixedSizeSamples = true;
  mt.lSampleSize = 1;
}

void FreeMediaType(MediaType& mt) {
  mt.format.clear();
  mt.format.shrink_to_fit();
}

namespace {

// Colour-space codes in the order they are looked up; the position is the code.
constexpr std::array<Guid, 37> kColorSpaces = {
    FourccGuid("YVU9"), FourccGuid("Y411"), FourccGuid("Y41P"), FourccGuid("YUY2"),  FourccGuid("YVYU"),
    FourccGuid("UYVY"), FourccGuid("Y211"), FourccGuid("CLJR"), FourccGuid("IF09"),  FourccGuid("CPLA"),
    FourccGuid("MJPG"), FourccGuid("TVMJ"), FourccGuid("WAKE"), FourccGuid("CFCC"),  FourccGuid("IJPG"),
    FourccGuid("Plum"), guid::kRGB1,        guid::kRGB4,        guid::kRGB8,         guid::kRGB565,
    guid::kRGB555,      guid::kRGB24,       guid::kRGB32,       guid::kARGB32,       guid::kOverlay,
    guid::kQuickTimeMovie, FourccGuid("rpza"), FourccGuid("smc "), FourccGuid("rle "), FourccGuid("jpeg"),
    FourccGuid("dvsd"), FourccGuid("dvhd"), FourccGuid("dvsl"), guid::kMPEG1Packet, guid::kMPEG1Payload,
    guid::kVPVideo,     guid::kVPVBI,
};

// Uncompressed RGB subtypes and the GStreamer format with the same bytes in memory.
struct RgbRow {
  Guid subtype;
  const char* format;
  int bits;
  std::uint32_t compression;
};
const RgbRow kRgbRows[] = {
    {guid::kRGB24, "BGR", 24, kBiRgb},       {guid::kRGB32, "BGRx", 32, kBiRgb},
    {guid::kARGB32, "BGRA", 32, kBiRgb},     {guid::kRGB565, "RGB16", 16, kBiBitfields},
    {guid::kRGB555, "RGB15", 16, kBiRgb},    {guid::kRGB8, "RGB8P", 8, kBiRgb},
};

// Bit counts of four-character subtypes the engine knows (others report what the caps imply).
struct FourccRow {
  std::uint32_t fourcc;
  int bits;
};
const FourccRow kFourccBits[] = {
    {Fourcc("YUY2"), 16}, {Fourcc("UYVY"), 16}, {Fourcc("YVYU"), 16}, {Fourcc("I420"), 12},
    {Fourcc("YV12"), 12}, {Fourcc("NV12"), 12}, {Fourcc("NV21"), 12}, {Fourcc("Y41B"), 12},
    {Fourcc("IYU1"), 12}, {Fourcc("Y411"), 12}, {Fourcc("YVU9"), 9},  {Fourcc("YUV9"), 9},
    {Fourcc("Y800"), 8},  {Fourcc("GREY"), 8},  {Fourcc("Y42B"), 16}, {Fourcc("v308"), 24},
    {Fourcc("MJPG"), 24}, {Fourcc("dvsd"), 24}, {Fourcc("Y444"), 24}, {Fourcc("AYUV"), 32},
};

bool IsFourccGuid(const Guid& g) {
  Guid base = FourccGuid("    ");
  base.data1 = g.data1;
  return base == g;
}

std::uint32_t FourccOfVideoFormat(GstVideoFormat f) {
  std::uint32_t fourcc = gst_video_format_to_fourcc(f);
  if (fourcc) return fourcc;
  switch (f) {
    case GST_VIDEO_FORMAT_GRAY8: return Fourcc("Y800");
    case GST_VIDEO_FORMAT_IYU1: return Fourcc("IYU1");
    default: return 0;
  }
}

}  // namespace

short SubtypeToColorSpace(const Guid& subtype) {
  for (std::size_t i = 0; i < kColorSpaces.size(); ++i)
    if (kColorSpaces[i] == subtype) return static_cast<short>(i);
  return 37;
}

Guid SubtypeFromStructure(const GstStructure* s) {
  if (!s) return {};
  if (gst_structure_has_name(s, "image/jpeg")) return guid::kMJPG;
  if (gst_structure_has_name(s, "video/x-dv")) {
    gboolean system = FALSE;
    gst_structure_get_boolean(s, "systemstream", &system);
    return system ? Guid{} : guid::kDvsd;
  }
  if (!gst_structure_has_name(s, "video/x-raw")) {
    // Other coded streams a camera may offer (H.264, MPEG): the four-character code of the name.
    if (gst_structure_has_name(s, "video/x-h264")) return FourccGuid("H264");
    return {};
  }
  const char* format = gst_structure_get_string(s, "format");
  if (!format) return {};
  for (const RgbRow& row : kRgbRows)
    if (std::strcmp(row.format, format) == 0) return row.subtype;
  std::uint32_t fourcc = FourccOfVideoFormat(gst_video_format_from_string(format));
  if (!fourcc) return {};
  Guid g = FourccGuid("    ");
  g.data1 = fourcc;
  return g;
}

int BitCountOfSubtype(const Guid& subtype) {
  for (const RgbRow& row : kRgbRows)
    if (row.subtype == subtype) return row.bits;
  if (IsFourccGuid(subtype))
    for (const FourccRow& row : kFourccBits)
      if (row.fourcc == subtype.data1) return row.bits;
  return 0;
}

std::uint32_t CompressionOfSubtype(const Guid& subtype) {
  for (const RgbRow& row : kRgbRows)
    if (row.subtype == subtype) return row.compression;
  return IsFourccGuid(subtype) ? subtype.data1 : kBiRgb;
}

const char* RawFormatOfSubtype(const Guid& subtype) {
  for (const RgbRow& row : kRgbRows)
    if (row.subtype == subtype) return row.format;
  if (!IsFourccGuid(subtype)) return nullptr;
  if (subtype.data1 == Fourcc("Y800") || subtype.data1 == Fourcc("GREY")) return "GRAY8";
  if (subtype.data1 == Fourcc("IYU1") || subtype.data1 == Fourcc("Y411")) return "IYU1";
  GstVideoFormat f = gst_video_format_from_fourcc(subtype.data1);
  return f == GST_VIDEO_FORMAT_UNKNOWN ? nullptr : gst_video_format_to_string(f);
}

std::uint32_t DibSize(std::int32_t width, std::int32_t height, int bitCount) {
  std::uint64_t row = ((std::uint64_t(std::abs(width)) * std::uint64_t(bitCount) + 31) / 32) * 4;
  return static_cast<std::uint32_t>(row * std::uint64_t(std::abs(height)));
}

MediaType MediaTypeFromStructure(const GstStructure* s) {
  MediaType mt;
  InitMediaType(mt);
  mt.majortype = guid::kMediaTypeVideo;
  mt.subtype = SubtypeFromStructure(s);
  mt.formattype = guid::kFormatVideoInfo;
  mt.format.assign(sizeof(VideoInfoHeader), 0);
  VideoInfoHeader* vih = mt.Vih();
  int width = 0, height = 0, fpsN = 0, fpsD = 1;
  gst_structure_get_int(s, "width", &width);
  gst_structure_get_int(s, "height", &height);
  gst_structure_get_fraction(s, "framerate", &fpsN, &fpsD);
  const bool raw = gst_structure_has_name(s, "video/x-raw");
  int bits = BitCountOfSubtype(mt.subtype);
  if (!bits && raw && width > 0 && height > 0) {
    // A raw format without a bitmap-header counterpart: its average bits per pixel.
    GstVideoInfo info;
    GstCaps* caps = gst_caps_new_full(gst_structure_copy(s), nullptr);
    if (gst_video_info_from_caps(&info, caps)) bits = int(info.size * 8 / (std::size_t(width) * height));
    gst_caps_unref(caps);
  }
  if (!bits) bits = 24;
  BitmapInfoHeader& bih = vih->bmiHeader;
  bih.biSize = sizeof(BitmapInfoHeader);
  bih.biWidth = width;
  bih.biHeight = height;
  bih.biPlanes = 1;
  bih.biBitCount = static_cast<std::uint16_t>(bits);
  bih.biCompression = CompressionOfSubtype(mt.subtype);
  bih.biSizeImage = DibSize(width, height, bits);
  if (fpsN > 0) vih->AvgTimePerFrame = gint64(gst_util_uint64_scale(10000000, guint64(fpsD), guint64(fpsN)));
  if (fpsN > 0) vih->dwBitRate = static_cast<std::uint32_t>(std::min<std::uint64_t>(
                    0xFFFFFFFFu, gst_util_uint64_scale(std::uint64_t(bih.biSizeImage) * 8, guint64(fpsN), guint64(fpsD))));
  mt.bFixedSizeSamples = raw;
  mt.bTemporalCompression = false;
  mt.lSampleSize = raw ? bih.biSizeImage : 0;
  return mt;
}

GstCaps* CapsFromMediaType(const MediaType& mt) {
  const VideoInfoHeader* vih = mt.Vih();
  if (!vih) return nullptr;
  const int width = vih->bmiHeader.biWidth;
  const int height = std::abs(vih->bmiHeader.biHeight);
  if (width <= 0 || height <= 0) return nullptr;
  if (mt.subtype == guid::kMJPG)
    return gst_caps_new_simple("image/jpeg", "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr);
  if (mt.subtype == guid::kDvsd)
    return gst_caps_new_simple("video/x-dv", "systemstream", G_TYPE_BOOLEAN, FALSE, "width", G_TYPE_INT, width,
                               "height", G_TYPE_INT, height, nullptr);
  const char* format = RawFormatOfSubtype(mt.subtype);
  if (!format) return nullptr;
  return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, "width", G_TYPE_INT, width, "height",
                             G_TYPE_INT, height, nullptr);
}

}  // namespace capture
