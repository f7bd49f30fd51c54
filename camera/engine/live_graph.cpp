#include "engine/live_graph.h"

#include <cstring>
#include <vector>

#include "engine/devices.h"
#include "engine/dv_decoder.h"
#include "engine/gst_errors.h"
#include "engine/sample_grabber.h"
#include "engine/video_renderer.h"

namespace capture {

namespace {

MediaType GrabberType(const Guid& subtype) {
  MediaType mt;
  InitMediaType(mt);
  mt.majortype = guid::kMediaTypeVideo;
  mt.subtype = subtype;
  mt.formattype = guid::kFormatVideoInfo;
  return mt;
}

// A coded stream's decoder links to the tee once its output pad appears.
void OnDecoderPad(GstElement*, GstPad* pad, gpointer tee) {
  PadPtr sink = Adopt(gst_element_get_static_pad(GST_ELEMENT(tee), "sink"));
  if (!gst_pad_is_linked(sink.get())) gst_pad_link(pad, sink.get());
}

// The decoder a format needs in front of the tee; null for raw video.
const char* DecoderFor(GstCaps* caps) {
  const GstStructure* format = gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  if (!format || gst_structure_has_name(format, "video/x-raw")) return nullptr;
  if (gst_structure_has_name(format, "image/jpeg")) return "jpegdec";
  if (gst_structure_has_name(format, "video/x-dv")) return "dvdec";
  return "decodebin";
}

}  // namespace

GstElement* MakeElement(const char* factory, const char* name) { return gst_element_factory_make(factory, name); }

HRESULT LinkElements(GstElement* from, GstElement* to) {
  PadPtr src = Adopt(gst_element_get_static_pad(from, "src"));
  PadPtr sink = Adopt(gst_element_get_static_pad(to, "sink"));
  return src && sink ? HResultFromLinkReturn(gst_pad_link(src.get(), sink.get())) : com::VFW_E_CANNOT_CONNECT;
}

LiveGraph::~LiveGraph() {
  // Reverse order of taking; the graph was stopped by its owner before.
  tee_.reset();
  capsFilter_.reset();
  grabber_.reset();
  renderer_.reset();
  config_.reset();
  source_.reset();
}

VideoRenderer* LiveGraph::Renderer() const { return VideoRenderer::FromElement(renderer_.get()); }

HRESULT LiveGraph::AddSource(int deviceIndex) {
  DeviceList devices;
  if (devices.Count() == 0) return com::E_FAIL;  // no video input device at all
  GstDevice* device = devices.At(deviceIndex);
  GstElement* source = device ? gst_device_create_element(device, "Video Capture") : nullptr;
  if (!source) return com::E_POINTER;  // no device at that position: there is no filter to add
  source_ = Sink(source);
  if (!gst_bin_add(graph_.Bin(), source_.get())) return com::E_FAIL;
  config_ = std::make_unique<StreamConfig>(gst_device_get_caps(device));
  return com::S_OK;
}

HRESULT LiveGraph::AddRenderer() {
  renderer_ = Sink(VideoRenderer::Create("VMR"));
  if (!renderer_) return com::REGDB_E_CLASSNOTREG;
  gst_bin_add(graph_.Bin(), renderer_.get());
  VideoRenderer* r = Renderer();
  r->SetClippingWindow(window_);
  r->SetVideoPosition(window_->VideoWindowRect());  // a new picture fills the video window
  r->SetFrameListener([this] { graph_.NotifyProgress(); });
  return com::S_OK;
}

HRESULT LiveGraph::AddGrabber() {
  GstElement* grabber = nullptr;
  const HRESULT result = CreateSampleGrabber(&grabber);
  if (Failed(result)) return result;
  grabber_ = Adopt(grabber);
  gst_bin_add(graph_.Bin(), grabber_.get());
  // The live grabber always gives RGB24, whatever subtype was chosen for other graphs. It keeps
  // the camera's frames as they come and converts one only when a still asks for it.
  ConfigureGrabber(grabber_.get(), GrabberType(guid::kRGB24));
  SampleGrabber::ConvertOnDemand(grabber_.get());
  SetGrabberBuffering(grabber_.get(), true);
  SetGrabberOneShot(grabber_.get(), false);
  SampleGrabber::FromElement(grabber_.get())->SetSampleListener([this] { graph_.NotifyProgress(); });
  return com::S_OK;
}

HRESULT LiveGraph::BuildDownstream(bool withGrabber) {
  if (!source_ || !config_) return com::E_FAIL;
  HRESULT result = AddRenderer();
  if (Failed(result) || (withGrabber && Failed(result = AddGrabber()))) return result;
  capsFilter_ = Sink(MakeElement("capsfilter", "Capture Format"));
  tee_ = Sink(MakeElement("tee", "Smart Tee"));
  ElementPtr previewQueue = Sink(MakeElement("queue", "Preview Queue"));
  ElementPtr converter = Sink(MakeElement("videoconvert", "Color Space Converter"));
  if (!capsFilter_ || !tee_ || !previewQueue || !converter) return com::REGDB_E_CLASSNOTREG;
  CapsPtr caps(config_->CurrentCaps());
  g_object_set(capsFilter_.get(), "caps", caps.get(), nullptr);
  const char* decoderName = DecoderFor(caps.get());
  // A preview that cannot keep up drops frames instead of holding up the camera.
  g_object_set(previewQueue.get(), "leaky", 2, "max-size-buffers", 2u, "max-size-bytes", 0u, "max-size-time",
               guint64(0), nullptr);
  gst_bin_add_many(graph_.Bin(), capsFilter_.get(), tee_.get(), previewQueue.get(), converter.get(), nullptr);

  if (Failed(result = LinkElements(source_.get(), capsFilter_.get()))) return result;
  GstElement* last = capsFilter_.get();
  if (decoderName) {
    gboolean systemStream = FALSE;
    const bool dv = std::strcmp(decoderName, "dvdec") == 0;
    if (dv) gst_structure_get_boolean(gst_caps_get_structure(caps.get(), 0), "systemstream", &systemStream);
    GstElement* decoder = dv ? CreateDvDecoder(systemStream, dvResolution_) : MakeElement(decoderName, "Decoder");
    if (!decoder) return com::REGDB_E_CLASSNOTREG;
    gst_bin_add(graph_.Bin(), decoder);
    if (Failed(result = LinkElements(capsFilter_.get(), decoder))) return result;
    if (std::strcmp(decoderName, "decodebin") == 0) {
      g_signal_connect(decoder, "pad-added", G_CALLBACK(OnDecoderPad), tee_.get());
      last = nullptr;
    } else {
      last = decoder;
    }
  }
  if (last && Failed(result = LinkElements(last, tee_.get()))) return result;
  if (!gst_element_link(tee_.get(), previewQueue.get()) || Failed(LinkElements(previewQueue.get(), converter.get())) ||
      Failed(LinkElements(converter.get(), renderer_.get())))
    return com::VFW_E_CANNOT_RENDER;
  if (grabber_) {
    GstElement* grabQueue = MakeElement("queue", "Grabber Queue");
    if (!grabQueue) return com::REGDB_E_CLASSNOTREG;
    g_object_set(grabQueue, "leaky", 2, "max-size-buffers", 1u, "max-size-bytes", 0u, "max-size-time",
                 guint64(0), nullptr);
    gst_bin_add(graph_.Bin(), grabQueue);
    if (!gst_element_link(tee_.get(), grabQueue) || Failed(LinkElements(grabQueue, grabber_.get())))
      return com::VFW_E_CANNOT_CONNECT;
  }
  return com::S_OK;
}

HRESULT LiveGraph::Run(std::chrono::milliseconds timeout) {
  return graph_.Run(
      [this] {
        VideoRenderer* r = Renderer();
        SampleGrabber* g = SampleGrabber::FromElement(grabber_.get());
        return r && r->FramesReceived() > 0 && (!g || g->SamplesSeen() > 0);
      },
      timeout);
}

HRESULT LiveGraph::Renegotiate() {
  if (!capsFilter_ || !config_) return com::E_FAIL;
  CapsPtr caps(config_->CurrentCaps());
  g_object_set(capsFilter_.get(), "caps", caps.get(), nullptr);  // asks the source to reconfigure
  return com::S_OK;
}

void LiveGraph::RemoveDownstream() {
  if (source_) NukeDownstream(source_.get());
  tee_.reset();
  capsFilter_.reset();
  grabber_.reset();
  renderer_.reset();
}

// Removes every element fed by `filter`, the furthest first.
void LiveGraph::NukeDownstream(GstElement* filter) {
  std::vector<PadPtr> pads;
  GstIterator* it = gst_element_iterate_src_pads(filter);
  GValue item = G_VALUE_INIT;
  while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
    pads.push_back(Adopt(GST_PAD(g_value_dup_object(&item))));
    g_value_reset(&item);
  }
  g_value_unset(&item);
  gst_iterator_free(it);
  for (const PadPtr& pad : pads) {
    PadPtr peer = Adopt(gst_pad_get_peer(pad.get()));
    if (!peer || !GST_PAD_IS_SINK(peer.get())) continue;
    ElementPtr next = Adopt(gst_pad_get_parent_element(peer.get()));
    if (!next) continue;
    NukeDownstream(next.get());
    gst_pad_unlink(pad.get(), peer.get());
    gst_element_set_state(next.get(), GST_STATE_NULL);
    if (GST_OBJECT_PARENT(next.get()) == GST_OBJECT(graph_.Pipeline())) gst_bin_remove(graph_.Bin(), next.get());
  }
}

}  // namespace capture
