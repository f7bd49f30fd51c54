#include "engine/decoding.h"

#include <gst/video/video.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "engine/gst_ptr.h"

namespace capture {

namespace {

// decodebin's answers to autoplug-select.
constexpr int kSelectTry = 0;
constexpr int kSelectSkip = 2;

constexpr const char* kJpegDecoder = "avdec_mjpeg";

bool HasKlass(GstElementFactory* factory, const char* part) {
  const char* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
  return klass && std::strstr(klass, part);
}

bool IsJpeg(GstCaps* caps) {
  const GstStructure* s = caps && gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  return s && gst_structure_has_name(s, "image/jpeg");
}

// JPEG frames go to libav's decoder, and another decoder serves only where that one is missing.
int OnAutoplugSelect(GstElement*, GstPad*, GstCaps* caps, GstElementFactory* factory, gpointer) {
  if (!IsJpeg(caps) || !HasKlass(factory, "Decoder") || std::strcmp(GST_OBJECT_NAME(factory), kJpegDecoder) == 0)
    return kSelectTry;
  GstPluginFeature* libav = gst_registry_lookup_feature(gst_registry_get(), kJpegDecoder);
  if (!libav) return kSelectTry;
  gst_object_unref(libav);
  return kSelectSkip;
}

GstPadProbeReturn SquareInvalidPixels(GstPad*, GstPadProbeInfo* info, gpointer) {
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
  GstCaps* caps = nullptr;
  gst_event_parse_caps(event, &caps);
  const GstStructure* s = caps && gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  int n = 0, d = 0;
  if (!s || !gst_structure_get_fraction(s, "pixel-aspect-ratio", &n, &d) || (n > 0 && d > 0)) return GST_PAD_PROBE_OK;
  CapsPtr square(gst_caps_copy(caps));
  gst_caps_set_simple(square.get(), "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
  GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_caps(square.get());
  gst_event_unref(event);
  return GST_PAD_PROBE_OK;
}

// A demuxer's stream pads are watched before its decoding bin links them.
void OnDemuxerPad(GstElement*, GstPad* pad, gpointer) {
  if (GST_PAD_IS_SRC(pad))
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &SquareInvalidPixels, nullptr, nullptr);
}

// Video range widened to full range in 8-bit planar YUV, by lookup, before GStreamer's converter
// sees it: its 8-bit conversion of video range to RGB reads luma 235 (white) as 253 and every level
// above black up to 3 too dark, where ffmpeg reads 255. Full range it converts exactly.
class RangeWidener {
 public:
  RangeWidener() {
    for (int v = 0; v < 256; ++v) {
      luma_[v] = Level((v - 16) * 255.0 / 219.0);
      chroma_[v] = Level((v - 128) * 255.0 / 224.0 + 128.0);
    }
  }

  // The caps downstream gets: the same picture in full range, when it is one to widen.
  GstCaps* Widened(GstCaps* caps) {
    widen_ = gst_video_info_from_caps(&info_, caps) && info_.colorimetry.range == GST_VIDEO_COLOR_RANGE_16_235 &&
             Planar8(GST_VIDEO_INFO_FORMAT(&info_));
    if (!widen_) return nullptr;
    GstVideoColorimetry full = info_.colorimetry;
    full.range = GST_VIDEO_COLOR_RANGE_0_255;
    gchar* text = gst_video_colorimetry_to_string(&full);
    GstCaps* out = gst_caps_copy(caps);
    gst_caps_set_simple(out, "colorimetry", G_TYPE_STRING, text, nullptr);
    g_free(text);
    return out;
  }

  // Widens the frame in place, or in a copy when its memory is shared or read-only.
  GstBuffer* Widen(GstBuffer* buffer) {
    if (!widen_) return buffer;
    buffer = gst_buffer_make_writable(buffer);
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info_, buffer, GstMapFlags(GST_MAP_READWRITE))) {
      GstBuffer* copy = gst_buffer_copy_deep(buffer);
      if (!copy) return buffer;
      gst_buffer_unref(buffer);
      buffer = copy;
      if (!gst_video_frame_map(&frame, &info_, buffer, GstMapFlags(GST_MAP_READWRITE))) return buffer;
    }
    for (guint c = 0; c < GST_VIDEO_FRAME_N_COMPONENTS(&frame); ++c) {
      const auto& table = c == 0 ? luma_ : chroma_;
      const int width = GST_VIDEO_FRAME_COMP_WIDTH(&frame, c);
      for (int y = 0; y < GST_VIDEO_FRAME_COMP_HEIGHT(&frame, c); ++y) {
        guint8* row = GST_VIDEO_FRAME_COMP_DATA(&frame, c) + std::ptrdiff_t(y) * GST_VIDEO_FRAME_COMP_STRIDE(&frame, c);
        for (int x = 0; x < width; ++x) row[x] = table[row[x]];
      }
    }
    gst_video_frame_unmap(&frame);
    return buffer;
  }

 private:
  static guint8 Level(double v) { return guint8(std::clamp(std::lround(v), 0L, 255L)); }
  static bool Planar8(GstVideoFormat format) {
    switch (format) {
      case GST_VIDEO_FORMAT_I420: case GST_VIDEO_FORMAT_YV12: case GST_VIDEO_FORMAT_Y42B:
      case GST_VIDEO_FORMAT_Y444: case GST_VIDEO_FORMAT_Y41B: case GST_VIDEO_FORMAT_GRAY8:
        return true;
      default:
        return false;
    }
  }

  std::array<guint8, 256> luma_{}, chroma_{};
  GstVideoInfo info_{};
  bool widen_ = false;  // streaming thread
};

GstPadProbeReturn WidenVideoRange(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* widener = static_cast<RangeWidener*>(data);
  if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
    GST_PAD_PROBE_INFO_DATA(info) = widener->Widen(GST_PAD_PROBE_INFO_BUFFER(info));
    return GST_PAD_PROBE_OK;
  }
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
  GstCaps* caps = nullptr;
  gst_event_parse_caps(event, &caps);
  if (GstCaps* widened = widener->Widened(caps)) {
    GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_caps(widened);
    gst_caps_unref(widened);
    gst_event_unref(event);
  }
  return GST_PAD_PROBE_OK;
}

// Packed 4:2:2 (two pixels share one chroma pair) of an odd width, or of a width not known yet.
bool IsOddPacked422(const GstStructure* s, const GValue* format) {
  const char* name = G_VALUE_HOLDS_STRING(format) ? g_value_get_string(format) : nullptr;
  if (!name || (std::strcmp(name, "YUY2") != 0 && std::strcmp(name, "UYVY") != 0 && std::strcmp(name, "YVYU") != 0))
    return false;
  int width = 0;
  return !gst_structure_get_int(s, "width", &width) || width % 2 != 0;
}

// The formats of `s` without odd-width packed 4:2:2; false when none is left.
bool DropOddPacked422(GstStructure* s) {
  const GValue* format = gst_structure_get_value(s, "format");
  if (!format) return true;
  if (!GST_VALUE_HOLDS_LIST(format)) return !IsOddPacked422(s, format);
  GValue kept = G_VALUE_INIT;
  g_value_init(&kept, GST_TYPE_LIST);
  for (guint i = 0; i < gst_value_list_get_size(format); ++i) {
    const GValue* f = gst_value_list_get_value(format, i);
    if (!IsOddPacked422(s, f)) gst_value_list_append_value(&kept, f);
  }
  const guint left = gst_value_list_get_size(&kept);
  if (left > 0) gst_structure_take_value(s, "format", &kept);
  else g_value_unset(&kept);
  return left > 0;
}

GstPadProbeReturn OfferNoOddPacked422(GstPad*, GstPadProbeInfo* info, gpointer) {
  GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
  if (GST_QUERY_TYPE(query) == GST_QUERY_CAPS) {
    GstCaps* answer = nullptr;
    gst_query_parse_caps_result(query, &answer);
    if (!answer || gst_caps_is_any(answer)) return GST_PAD_PROBE_OK;
    CapsPtr kept(gst_caps_copy(answer));
    for (guint i = gst_caps_get_size(kept.get()); i-- > 0;)
      if (!DropOddPacked422(gst_caps_get_structure(kept.get(), i))) gst_caps_remove_structure(kept.get(), i);
    gst_query_set_caps_result(query, kept.get());
  } else if (GST_QUERY_TYPE(query) == GST_QUERY_ACCEPT_CAPS) {
    GstCaps* caps = nullptr;
    gst_query_parse_accept_caps(query, &caps);
    const GstStructure* s = caps && gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
    const GValue* format = s ? gst_structure_get_value(s, "format") : nullptr;
    if (format && IsOddPacked422(s, format)) gst_query_set_accept_caps_result(query, FALSE);
  }
  return GST_PAD_PROBE_OK;
}

void OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer) {
  GstElementFactory* factory = gst_element_get_factory(element);
  if (!factory) return;
  if (std::strcmp(GST_OBJECT_NAME(factory), "decodebin") == 0) {
    g_signal_connect(element, "autoplug-select", G_CALLBACK(&OnAutoplugSelect), nullptr);
  } else if (HasKlass(factory, "Demux")) {
    g_signal_connect(element, "pad-added", G_CALLBACK(&OnDemuxerPad), nullptr);
  } else if (std::strcmp(GST_OBJECT_NAME(factory), kJpegDecoder) == 0) {
    PadPtr src = Adopt(gst_element_get_static_pad(element, "src"));
    if (src)
      gst_pad_add_probe(src.get(), GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                        &WidenVideoRange, new RangeWidener, [](gpointer w) { delete static_cast<RangeWidener*>(w); });
  } else if (std::strcmp(GST_OBJECT_NAME(factory), "videoflip") == 0) {
    // Its answers, once given, lose the formats it would spoil.
    PadPtr sink = Adopt(gst_element_get_static_pad(element, "sink"));
    if (sink)
      gst_pad_add_probe(sink.get(), GstPadProbeType(GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM | GST_PAD_PROBE_TYPE_PULL),
                        &OfferNoOddPacked422, nullptr, nullptr);
  }
}

}  // namespace

void MendDecodingInside(GstBin* bin) {
  g_signal_connect(bin, "deep-element-added", G_CALLBACK(&OnElementAdded), nullptr);
}

}  // namespace capture
