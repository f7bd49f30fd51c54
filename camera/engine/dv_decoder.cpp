#include "engine/dv_decoder.h"

#include <cstring>

namespace capture {

namespace {

constexpr char kResolutionKey[] = "ornik-dv-resolution";
constexpr char kWidthKey[] = "ornik-dv-width";
constexpr char kHeightKey[] = "ornik-dv-height";
constexpr int kQualityBest = 5;
constexpr int kQualityColourDC = 3;

int DataInt(GstElement* e, const char* key) { return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(e), key)); }

GstElement* Child(GstElement* bin, const char* name) {
  return gst_bin_get_by_name(GST_BIN(bin), name);  // a reference
}

// Puts dvdec's quality and the scaled size of the decoder's resolution in place; the size once
// the stream's own size is known.
void Apply(GstElement* bin) {
  const int resolution = DataInt(bin, kResolutionKey);
  ElementPtr dec = Adopt(Child(bin, "dvdec"));
  ElementPtr scale = Adopt(Child(bin, "DV Scale"));
  if (!dec || !scale) return;
  g_object_set(dec.get(), "quality", resolution == kDvResolutionDC ? kQualityColourDC : kQualityBest, nullptr);
  const int divisor = 1 << (resolution - kDvResolutionFull);  // full, half, quarter, DC: 1, 2, 4, 8
  const int width = DataInt(bin, kWidthKey), height = DataInt(bin, kHeightKey);
  CapsPtr caps(width > 0 && height > 0
                   ? gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width / divisor, "height", G_TYPE_INT,
                                         height / divisor, nullptr)
                   : gst_caps_new_any());
  g_object_set(scale.get(), "caps", caps.get(), nullptr);
}

// The stream's own size, seen on dvdec's output before the scaler negotiates.
GstPadProbeReturn OnDecodedCaps(GstPad*, GstPadProbeInfo* info, gpointer bin) {
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
  GstCaps* caps = nullptr;
  gst_event_parse_caps(event, &caps);
  int width = 0, height = 0;
  const GstStructure* s = gst_caps_get_structure(caps, 0);
  if (gst_structure_get_int(s, "width", &width) && gst_structure_get_int(s, "height", &height)) {
    g_object_set_data(G_OBJECT(bin), kWidthKey, GINT_TO_POINTER(width));
    g_object_set_data(G_OBJECT(bin), kHeightKey, GINT_TO_POINTER(height));
    Apply(GST_ELEMENT(bin));
  }
  return GST_PAD_PROBE_OK;
}

// The demultiplexer's pads: video into dvdec, sound out of the bin.
void OnDemuxPad(GstElement*, GstPad* pad, gpointer binPtr) {
  GstElement* bin = GST_ELEMENT(binPtr);
  if (std::strcmp(GST_PAD_NAME(pad), "video") == 0) {
    ElementPtr dec = Adopt(Child(bin, "dvdec"));
    PadPtr sink = Adopt(gst_element_get_static_pad(dec.get(), "sink"));
    if (!gst_pad_is_linked(sink.get())) gst_pad_link(pad, sink.get());
  } else if (std::strcmp(GST_PAD_NAME(pad), "audio") == 0 && !PadPtr(gst_element_get_static_pad(bin, "audio"))) {
    GstPad* ghost = gst_ghost_pad_new("audio", pad);
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(bin, ghost);
  }
}

bool AddGhost(GstElement* bin, GstElement* inner, const char* innerPad, const char* name) {
  PadPtr target = Adopt(gst_element_get_static_pad(inner, innerPad));
  return target && gst_element_add_pad(bin, gst_ghost_pad_new(name, target.get()));
}

}  // namespace

GstElement* CreateDvDecoder(bool systemStream, int resolution) {
  GstElement* bin = gst_bin_new("DV Decoder");
  GstElement* demux = systemStream ? gst_element_factory_make("dvdemux", "dvdemux") : nullptr;
  // A camcorder streams: the demultiplexer is fed through a queue and never pulls. A source that
  // could be pulled (a file standing for a tape) otherwise races the demultiplexer's own thread
  // against the source's start, and the stream never begins.
  GstElement* feed = systemStream ? gst_element_factory_make("queue", "DV Feed") : nullptr;
  GstElement* dec = gst_element_factory_make("dvdec", "dvdec");
  GstElement* scaler = gst_element_factory_make("videoscale", "DV Scaler");
  GstElement* scale = gst_element_factory_make("capsfilter", "DV Scale");
  if (!dec || !scaler || !scale || (systemStream && (!demux || !feed))) {
    for (GstElement* e : {feed, demux, dec, scaler, scale})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    gst_object_unref(gst_object_ref_sink(bin));
    return nullptr;
  }
  gst_bin_add_many(GST_BIN(bin), dec, scaler, scale, nullptr);
  gst_element_link_many(dec, scaler, scale, nullptr);
  GstElement* entry = dec;
  if (demux) {
    gst_bin_add_many(GST_BIN(bin), feed, demux, nullptr);
    gst_element_link(feed, demux);
    g_signal_connect(demux, "pad-added", G_CALLBACK(OnDemuxPad), bin);
    entry = feed;
  }
  AddGhost(bin, entry, "sink", "sink");
  AddGhost(bin, scale, "src", "src");
  PadPtr decoded = Adopt(gst_element_get_static_pad(dec, "src"));
  gst_pad_add_probe(decoded.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnDecodedCaps, bin, nullptr);
  g_object_set_data(G_OBJECT(bin), kResolutionKey, GINT_TO_POINTER(kDvResolutionFull));
  SetDvDecoderResolution(bin, resolution);
  return bin;
}

ElementPtr FindDvDecoder(GstElement* graph) {
  if (!graph || !GST_IS_BIN(graph)) return nullptr;
  return Adopt(gst_bin_get_by_name(GST_BIN(graph), "DV Decoder"));
}

int DvDecoderResolution(GstElement* decoder) { return DataInt(decoder, kResolutionKey); }

HRESULT SetDvDecoderResolution(GstElement* decoder, int resolution) {
  if (!decoder) return com::E_POINTER;
  if (resolution < kDvResolutionFull || resolution > kDvResolutionDC) return com::E_INVALIDARG;
  g_object_set_data(G_OBJECT(decoder), kResolutionKey, GINT_TO_POINTER(resolution));
  Apply(decoder);
  return com::S_OK;
}

}  // namespace capture
