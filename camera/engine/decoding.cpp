#include "engine/decoding.h"

#include <cstring>

#include "engine/gst_ptr.h"

namespace capture {

namespace {

// decodebin's answers to autoplug-select.
constexpr int kSelectTry = 0;
constexpr int kSelectSkip = 2;

constexpr const char* kFullChromaDecoder = "avdec_mjpeg";

bool HasKlass(GstElementFactory* factory, const char* part) {
  const char* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
  return klass && std::strstr(klass, part);
}

// JPEG frames of odd width; `sampling` receives the chroma sampling a parser named (null when none
// has yet).
bool OddWidthJpeg(GstCaps* caps, const char** sampling) {
  const GstStructure* s = caps && gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  int width = 0;
  if (!s || !gst_structure_has_name(s, "image/jpeg") || !gst_structure_get_int(s, "width", &width) || width % 2 == 0)
    return false;
  *sampling = gst_structure_get_string(s, "sampling");
  return true;
}

// Demuxers name no chroma sampling: odd-width JPEG goes through the parser first, whose caps do.
GValueArray* OnAutoplugSort(GstElement*, GstPad*, GstCaps* caps, GValueArray* factories, gpointer) {
  const char* sampling = nullptr;
  if (!OddWidthJpeg(caps, &sampling) || sampling) return nullptr;  // the decoding bin's own order
  GstElementFactory* parser = gst_element_factory_find("jpegparse");
  if (!parser) return nullptr;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GValueArray* sorted = g_value_array_new(factories->n_values + 1);
  GValue first = G_VALUE_INIT;
  g_value_init(&first, GST_TYPE_ELEMENT_FACTORY);
  g_value_take_object(&first, parser);
  g_value_array_append(sorted, &first);
  g_value_unset(&first);
  for (guint i = 0; i < factories->n_values; ++i) g_value_array_append(sorted, g_value_array_get_nth(factories, i));
  G_GNUC_END_IGNORE_DEPRECATIONS
  return sorted;
}

int OnAutoplugSelect(GstElement*, GstPad*, GstCaps* caps, GstElementFactory* factory, gpointer) {
  const char* sampling = nullptr;
  if (!OddWidthJpeg(caps, &sampling) || !sampling || std::strcmp(sampling, "YCbCr-4:4:4") != 0) return kSelectTry;
  if (!HasKlass(factory, "Decoder") || std::strcmp(GST_OBJECT_NAME(factory), kFullChromaDecoder) == 0)
    return kSelectTry;
  // Another decoder only where libav's is missing.
  GstPluginFeature* full = gst_registry_lookup_feature(gst_registry_get(), kFullChromaDecoder);
  if (!full) return kSelectTry;
  gst_object_unref(full);
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

void OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer) {
  GstElementFactory* factory = gst_element_get_factory(element);
  if (!factory) return;
  if (std::strcmp(GST_OBJECT_NAME(factory), "decodebin") == 0) {
    g_signal_connect(element, "autoplug-sort", G_CALLBACK(&OnAutoplugSort), nullptr);
    g_signal_connect(element, "autoplug-select", G_CALLBACK(&OnAutoplugSelect), nullptr);
  } else if (HasKlass(factory, "Demux")) {
    g_signal_connect(element, "pad-added", G_CALLBACK(&OnDemuxerPad), nullptr);
  }
}

}  // namespace

void MendDecodingInside(GstBin* bin) {
  g_signal_connect(bin, "deep-element-added", G_CALLBACK(&OnElementAdded), nullptr);
}

}  // namespace capture
