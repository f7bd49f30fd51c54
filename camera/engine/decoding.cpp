#include "engine/decoding.h"

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

void OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer) {
  GstElementFactory* factory = gst_element_get_factory(element);
  if (!factory) return;
  if (std::strcmp(GST_OBJECT_NAME(factory), "decodebin") == 0)
    g_signal_connect(element, "autoplug-select", G_CALLBACK(&OnAutoplugSelect), nullptr);
  else if (HasKlass(factory, "Demux"))
    g_signal_connect(element, "pad-added", G_CALLBACK(&OnDemuxerPad), nullptr);
}

}  // namespace

void MendDecodingInside(GstBin* bin) {
  g_signal_connect(bin, "deep-element-added", G_CALLBACK(&OnElementAdded), nullptr);
}

}  // namespace capture
