#include "engine/capture_engine.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "engine/devices.h"
#include "engine/gst_errors.h"

using namespace capture;

namespace capture {

namespace {

// How long a build waits for its first frame: a real camera may take a second to start.
constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr std::size_t kMaxQueuedEvents = 64;

// The preview format a live build asks the camera for first: 320 x 240 RGB24 at 30 frames a
// second. A camera that cannot deliver it keeps its own format.
MediaType PreviewFormat() {
  MediaType mt;
  InitMediaType(mt);
  mt.majortype = guid::kMediaTypeVideo;
  mt.subtype = guid::kRGB24;
  mt.formattype = guid::kFormatVideoInfo;
  mt.lSampleSize = 230400;
  mt.format.assign(sizeof(VideoInfoHeader), 0);
  VideoInfoHeader* vih = mt.Vih();
  vih->dwBitRate = 60825600;
  vih->AvgTimePerFrame = 333333;
  vih->bmiHeader.biWidth = 320;
  vih->bmiHeader.biHeight = 240;
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biBitCount = 24;
  vih->bmiHeader.biCompression = kBiRgb;
  vih->bmiHeader.biSizeImage = 230400;
  return mt;
}

MediaType GrabberType(const Guid& subtype) {
  MediaType mt;
  InitMediaType(mt);
  mt.majortype = guid::kMediaTypeVideo;
  mt.subtype = subtype;
  mt.formattype = guid::kFormatVideoInfo;
  return mt;
}

void ZeroHeader(BitmapInfoHeader& h) {
  h = BitmapInfoHeader{};
  h.biSize = 0;
  h.biPlanes = 0;
}

GstElement* Make(const char* factory, const char* name) { return gst_element_factory_make(factory, name); }

HRESULT Link(GstElement* from, GstElement* to) {
  GstPad* src = gst_element_get_static_pad(from, "src");
  GstPad* sink = gst_element_get_static_pad(to, "sink");
  HRESULT result = src && sink ? HResultFromLinkReturn(gst_pad_link(src, sink)) : hr::kCannotConnect;
  if (src) gst_object_unref(src);
  if (sink) gst_object_unref(sink);
  return result;
}

// A coded stream's decoder links to the tee once its output pad appears.
void OnDecoderPad(GstElement*, GstPad* pad, gpointer tee) {
  GstPad* sink = gst_element_get_static_pad(GST_ELEMENT(tee), "sink");
  if (!gst_pad_is_linked(sink)) gst_pad_link(pad, sink);
  gst_object_unref(sink);
}

}  // namespace
}  // namespace capture

CCaptureEngine::CCaptureEngine() {
  EnsureGstInit();
  ZeroHeader(frameHeader_);
}

CCaptureEngine::~CCaptureEngine() { TearDownGraph(); }

void CCaptureEngine::SetOwnerCtrl(IOrnikEventSink* control) { grabberCallback_.SetControl(control); }

// ---- devices and compressors ------------------------------------------------------------------

std::int32_t CCaptureEngine::GetVideoDeviceCount() const { return DeviceList().Count(); }

QString CCaptureEngine::GetVideoDeviceName(int index) const { return DeviceList().Name(index); }

std::int32_t CCaptureEngine::GetCompressorCount() const { return CompressorList().Count(); }

QString CCaptureEngine::GetCompressorName(int index) const { return CompressorList().Name(index); }

HRESULT CCaptureEngine::CreateCompressor(int index, GstElement** filter) const {
  if (!filter) return hr::kPointer;
  *filter = nullptr;
  if (index < 0) return hr::kFail;
  CompressorList list;
  GstElementFactory* factory = list.At(index);
  if (!factory) return hr::kFail;
  GstElement* element = gst_element_factory_create(factory, "Video Compressor");
  if (!element) return hr::kClassNotReg;
  *filter = GST_ELEMENT(gst_object_ref_sink(element));
  return hr::kOk;
}

// ---- live graphs ------------------------------------------------------------------------------

HRESULT CCaptureEngine::PreviewOn(IVideoWindow* window) { return BuildLive(window, false); }

HRESULT CCaptureEngine::PreviewOnWithGrabber(IVideoWindow* window) { return BuildLive(window, true); }

HRESULT CCaptureEngine::BuildLive(IVideoWindow* window, bool withGrabber) {
  if (!window) return hr::kFail;
  TearDownGraph();  // one graph at a time: the camera is released before it is opened again
  captureFile_.clear();
  graph_ = gst_pipeline_new("Capture Graph");
  gst_object_ref_sink(graph_);
  GstBus* bus = gst_element_get_bus(graph_);
  gst_bus_set_sync_handler(bus, &CCaptureEngine::OnBusMessage, this, nullptr);
  gst_object_unref(bus);
  videoWindow_ = window;

  HRESULT result = AddCaptureFilter();
  if (Failed(result)) return result;
  // Ask for the preview format first; a camera that refuses keeps its own.
  streamConfig_->SetFormat(PreviewFormat());
  if (Failed(result = AddRenderer())) return result;
  if (withGrabber && Failed(result = AddGrabber())) return result;
  if (Failed(result = BuildDownstream())) return result;
  mediaControl_ = true;
  liveMode_ = 1;
  {
    std::lock_guard lock(eventMutex_);
    notifyWindow_ = window;
    notifyData_ = 0;  // live graphs: events are drained by the window, never passed to the host
  }
  const HRESULT run = RunGraph();
  if (Failed(run) || !withGrabber) return run;
  return ReadFrameHeader();
}

// The camera at the selected position becomes the graph's "Video Capture" source.
HRESULT CCaptureEngine::AddCaptureFilter() {
  DeviceList devices;
  if (devices.Count() == 0) return hr::kFail;  // no video input device at all
  GstDevice* device = devices.At(videoDeviceIndex_);
  GstElement* source = device ? gst_device_create_element(device, "Video Capture") : nullptr;
  if (!source) return hr::kPointer;  // no device at that position: there is no filter to add
  videoCapture_ = GST_ELEMENT(gst_object_ref_sink(source));
  if (!gst_bin_add(GST_BIN(graph_), videoCapture_)) return hr::kFail;
  streamConfig_ = std::make_unique<StreamConfig>(gst_device_get_caps(device));
  return hr::kOk;
}

HRESULT CCaptureEngine::AddRenderer() {
  GstElement* renderer = VideoRenderer::Create("VMR");
  if (!renderer) return hr::kClassNotReg;
  renderer_ = GST_ELEMENT(gst_object_ref_sink(renderer));
  gst_bin_add(GST_BIN(graph_), renderer_);
  VideoRenderer* r = Renderer();
  r->SetClippingWindow(videoWindow_);
  r->SetVideoPosition(videoWindow_->VideoWindowRect());  // a new picture fills the video window
  r->SetFrameListener([this] { NotifyProgress(); });
  return hr::kOk;
}

HRESULT CCaptureEngine::AddGrabber() {
  HRESULT result = CreateSampleGrabber(&grabber_);
  if (Failed(result)) return result;
  gst_bin_add(GST_BIN(graph_), grabber_);
  // The live grabber always takes RGB24, whatever subtype was chosen for other graphs.
  ConfigureGrabber(grabber_, GrabberType(guid::kRGB24));
  SetGrabberBuffering(grabber_, true);
  SetGrabberOneShot(grabber_, false);
  SampleGrabber::FromElement(grabber_)->SetSampleListener([this] { NotifyProgress(); });
  return hr::kOk;
}

// Everything behind the source: format, decoder, tee and the branches to renderer and grabber.
HRESULT CCaptureEngine::BuildDownstream() {
  GstElement* capsFilter = Make("capsfilter", "Capture Format");
  GstElement* tee = Make("tee", "Smart Tee");
  GstElement* previewQueue = Make("queue", "Preview Queue");
  GstElement* converter = Make("videoconvert", "Color Space Converter");
  if (!capsFilter || !tee || !previewQueue || !converter) {
    for (GstElement* e : {capsFilter, tee, previewQueue, converter})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    return hr::kClassNotReg;
  }
  GstCaps* caps = streamConfig_->CurrentCaps();
  g_object_set(capsFilter, "caps", caps, nullptr);
  const GstStructure* format = gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  const char* decoderName = nullptr;
  if (format && gst_structure_has_name(format, "image/jpeg")) decoderName = "jpegdec";
  else if (format && gst_structure_has_name(format, "video/x-dv")) decoderName = "dvdec";
  else if (format && !gst_structure_has_name(format, "video/x-raw")) decoderName = "decodebin";
  gst_caps_unref(caps);
  // A preview that cannot keep up drops frames instead of holding up the camera.
  g_object_set(previewQueue, "leaky", 2, "max-size-buffers", 2u, "max-size-bytes", 0u, "max-size-time",
               guint64(0), nullptr);
  gst_bin_add_many(GST_BIN(graph_), capsFilter, tee, previewQueue, converter, nullptr);

  HRESULT result = Link(videoCapture_, capsFilter);
  if (Failed(result)) return result;
  GstElement* last = capsFilter;
  if (decoderName) {
    GstElement* decoder = Make(decoderName, "Decoder");
    if (!decoder) return hr::kClassNotReg;
    gst_bin_add(GST_BIN(graph_), decoder);
    if (Failed(result = Link(capsFilter, decoder))) return result;
    if (std::strcmp(decoderName, "decodebin") == 0) {
      g_signal_connect(decoder, "pad-added", G_CALLBACK(OnDecoderPad), tee);
      last = nullptr;
    } else {
      last = decoder;
    }
  }
  if (last && Failed(result = Link(last, tee))) return result;
  if (!gst_element_link(tee, previewQueue) || Failed(Link(previewQueue, converter)) ||
      Failed(Link(converter, renderer_)))
    return hr::kCannotRender;
  if (grabber_) {
    GstElement* grabQueue = Make("queue", "Grabber Queue");
    GstElement* grabConverter = Make("videoconvert", "Grabber Converter");
    if (!grabQueue || !grabConverter) {
      for (GstElement* e : {grabQueue, grabConverter})
        if (e) gst_object_unref(gst_object_ref_sink(e));
      return hr::kClassNotReg;
    }
    g_object_set(grabQueue, "leaky", 2, "max-size-buffers", 1u, "max-size-bytes", 0u, "max-size-time",
                 guint64(0), nullptr);
    gst_bin_add_many(GST_BIN(graph_), grabQueue, grabConverter, nullptr);
    if (!gst_element_link(tee, grabQueue) || Failed(Link(grabQueue, grabConverter)) ||
        Failed(Link(grabConverter, grabber_)))
      return hr::kCannotConnect;
  }
  return hr::kOk;
}

// Runs the graph and waits for the first frame at each sink, or for the failure that stops it.
HRESULT CCaptureEngine::RunGraph() {
  {
    std::lock_guard lock(eventMutex_);
    streamError_ = hr::kOk;
  }
  const GstStateChangeReturn ret = gst_element_set_state(graph_, GST_STATE_PLAYING);
  HRESULT result = hr::kOk;
  {
    std::unique_lock lock(eventMutex_);
    auto started = [&] {
      if (Failed(streamError_)) return true;
      VideoRenderer* r = Renderer();
      SampleGrabber* g = SampleGrabber::FromElement(grabber_);
      return r && r->FramesReceived() > 0 && (!g || g->SamplesSeen() > 0);
    };
    if (ret == GST_STATE_CHANGE_FAILURE) result = Failed(streamError_) ? streamError_ : hr::kWrongState;
    else if (!progress_.wait_for(lock, kStartTimeout, started)) result = hr::kTimeout;
    else result = streamError_;
  }
  // A graph that did not start releases the camera at once; its objects stay until the teardown.
  if (Failed(result)) gst_element_set_state(graph_, GST_STATE_NULL);
  return result;
}

HRESULT CCaptureEngine::ReadFrameHeader() {
  MediaType connected;
  const HRESULT result = GetGrabberConnectedType(grabber_, &connected);
  if (Failed(result)) return result;
  ZeroHeader(frameHeader_);
  if (const VideoInfoHeader* vih = connected.Vih()) frameHeader_ = vih->bmiHeader;
  return hr::kOk;
}

void CCaptureEngine::NotifyProgress() {
  std::lock_guard lock(eventMutex_);
  progress_.notify_all();
}

void CCaptureEngine::TearDownGraph() {
  if (graph_) {
    gst_element_set_state(graph_, GST_STATE_NULL);  // stops and joins the streaming threads
    GstBus* bus = gst_element_get_bus(graph_);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
  }
  {
    std::lock_guard lock(eventMutex_);
    events_.clear();
    notifyWindow_ = nullptr;
    streamError_ = hr::kOk;
  }
  mediaControl_ = false;
  for (GstElement** e : {&renderer_, &grabber_, &videoCapture_})
    if (*e) {
      gst_object_unref(*e);
      *e = nullptr;
    }
  streamConfig_.reset();
  if (graph_) {
    gst_object_unref(graph_);
    graph_ = nullptr;
  }
  dvDecoderResolution_ = 1000;
}

void CCaptureEngine::StopMediaControl() {
  if (graph_ && mediaControl_) gst_element_set_state(graph_, GST_STATE_READY);
}

void CCaptureEngine::StopGraph() {
  {
    std::lock_guard lock(eventMutex_);
    events_.clear();
    notifyWindow_ = nullptr;
  }
  mediaControl_ = false;
  if (videoCapture_) NukeDownstream(videoCapture_);
  for (GstElement** e : {&renderer_, &grabber_})
    if (*e) {
      gst_object_unref(*e);
      *e = nullptr;
    }
}

// Removes every element fed by `filter`, the furthest first.
void CCaptureEngine::NukeDownstream(GstElement* filter) {
  std::vector<GstPad*> pads;
  GstIterator* it = gst_element_iterate_src_pads(filter);
  GValue item = G_VALUE_INIT;
  while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
    pads.push_back(GST_PAD(g_value_dup_object(&item)));
    g_value_reset(&item);
  }
  g_value_unset(&item);
  gst_iterator_free(it);
  for (GstPad* pad : pads) {
    GstPad* peer = gst_pad_get_peer(pad);
    if (peer && GST_PAD_IS_SINK(peer)) {
      GstElement* next = gst_pad_get_parent_element(peer);
      if (next) {
        NukeDownstream(next);
        gst_pad_unlink(pad, peer);
        gst_element_set_state(next, GST_STATE_NULL);
        if (GST_OBJECT_PARENT(next) == GST_OBJECT(graph_)) gst_bin_remove(GST_BIN(graph_), next);
        gst_object_unref(next);
      }
    }
    if (peer) gst_object_unref(peer);
    gst_object_unref(pad);
  }
}

HRESULT CCaptureEngine::RebuildPreviewWithGrabber() {
  if (!graph_ || !videoCapture_ || !videoWindow_) return hr::kFail;
  HRESULT result = AddRenderer();
  if (Failed(result) || Failed(result = AddGrabber()) || Failed(result = BuildDownstream())) return result;
  mediaControl_ = true;
  {
    std::lock_guard lock(eventMutex_);
    notifyWindow_ = videoWindow_;
    notifyData_ = 0;
  }
  const HRESULT run = RunGraph();
  if (Failed(run)) return run;
  return ReadFrameHeader();
}

HRESULT CCaptureEngine::RebuildPreview() {
  if (!graph_ || !videoCapture_ || !videoWindow_) return hr::kFail;
  HRESULT result = AddRenderer();
  if (Failed(result) || Failed(result = BuildDownstream())) return result;
  mediaControl_ = true;
  liveMode_ = 1;
  {
    std::lock_guard lock(eventMutex_);
    notifyWindow_ = videoWindow_;
    notifyData_ = 0;
  }
  return RunGraph();
}

// ---- graph events -----------------------------------------------------------------------------

GstBusSyncReply CCaptureEngine::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
  auto* engine = static_cast<CCaptureEngine*>(self);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
      const HRESULT result = HResultFromGstMessage(message);
      {
        std::lock_guard lock(engine->eventMutex_);
        if (Succeeded(engine->streamError_)) engine->streamError_ = result;
        engine->progress_.notify_all();
      }
      engine->PostEvent(ec::kErrorAbort, result, 0);
      break;
    }
    case GST_MESSAGE_EOS: engine->PostEvent(ec::kComplete, 0, 0); break;
    default: break;
  }
  // Nothing stays on the bus: nobody pops it, and a preview may run for days.
  gst_message_unref(message);
  return GST_BUS_DROP;
}

void CCaptureEngine::PostEvent(long code, std::intptr_t param1, std::intptr_t param2) {
  IVideoWindow* window = nullptr;
  std::intptr_t data = 0;
  {
    std::lock_guard lock(eventMutex_);
    if (events_.size() >= kMaxQueuedEvents) events_.pop_front();
    events_.push_back({code, param1, param2});
    window = notifyWindow_;
    data = notifyData_;
    progress_.notify_all();
  }
  if (window) window->PostGraphNotify(data);
}

HRESULT CCaptureEngine::GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2, long timeoutMs) {
  if (!code || !param1 || !param2) return hr::kPointer;
  std::unique_lock lock(eventMutex_);
  if (events_.empty() && timeoutMs > 0)
    progress_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !events_.empty(); });
  if (events_.empty()) return hr::kAbort;
  const GraphEvent e = events_.front();
  events_.pop_front();
  *code = e.code;
  *param1 = e.param1;
  *param2 = e.param2;
  return hr::kOk;
}

// ---- stream formats ---------------------------------------------------------------------------

StreamConfig* CCaptureEngine::FindStreamConfig(PinCategory) const {
  // The source has one output; it is the capture pin and the preview pin alike.
  return graph_ && videoCapture_ ? streamConfig_.get() : nullptr;
}

HRESULT CCaptureEngine::GetStreamCapsCount(PinCategory pin, short* count) {
  StreamConfig* config = FindStreamConfig(pin);
  if (!config) return hr::kFail;
  if (!count) return hr::kPointer;
  *count = static_cast<short>(config->GetNumberOfCapabilities());
  return hr::kOk;
}

HRESULT CCaptureEngine::StreamCapsEntry(PinCategory pin, short index, MediaType* mt,
                                        VideoStreamConfigCaps* range) const {
  StreamConfig* config = FindStreamConfig(pin);
  if (!config) return hr::kFail;
  return config->GetStreamCaps(index, mt, range);
}

HRESULT CCaptureEngine::GetStreamCaps(PinCategory pin, short index, short* minX, short* minY, short* maxX,
                                      short* maxY, short* stepX, short* stepY, short* colorSpace,
                                      std::int32_t* bih) {
  MediaType mt;
  VideoStreamConfigCaps range;
  const HRESULT result = StreamCapsEntry(pin, index, &mt, &range);
  if (result != hr::kOk) return result;
  if (!minX || !minY || !maxX || !maxY || !stepX || !stepY || !colorSpace) return hr::kPointer;
  *minX = static_cast<short>(range.MinOutputSizeX);
  *minY = static_cast<short>(range.MinOutputSizeY);
  *maxX = static_cast<short>(range.MaxOutputSizeX);
  *maxY = static_cast<short>(range.MaxOutputSizeY);
  *stepX = static_cast<short>(range.OutputGranularityX);
  *stepY = static_cast<short>(range.OutputGranularityY);
  *colorSpace = SubtypeToColorSpace(mt.subtype);
  if (bih) {
    const VideoInfoHeader* vih = mt.Vih();
    if (vih) std::memcpy(bih, &vih->bmiHeader, sizeof(BitmapInfoHeader));
    else std::memset(bih, 0, sizeof(BitmapInfoHeader));
  }
  return hr::kOk;
}

HRESULT CCaptureEngine::GetStreamCapsBih(PinCategory pin, short index, std::int32_t* width, std::int32_t* height,
                                         short* planes, short* bitCount, std::int32_t* compression,
                                         std::int32_t* sizeImage, std::int32_t* xPelsPerMeter,
                                         std::int32_t* yPelsPerMeter, std::int32_t* clrUsed,
                                         std::int32_t* clrImportant) {
  MediaType mt;
  VideoStreamConfigCaps range;
  const HRESULT result = StreamCapsEntry(pin, index, &mt, &range);
  if (result != hr::kOk) return result;
  if (!width || !height || !planes || !bitCount || !compression || !sizeImage || !xPelsPerMeter ||
      !yPelsPerMeter || !clrUsed || !clrImportant)
    return hr::kPointer;
  BitmapInfoHeader h;
  ZeroHeader(h);
  if (const VideoInfoHeader* vih = mt.Vih()) h = vih->bmiHeader;
  *width = h.biWidth;
  *height = h.biHeight;
  *planes = static_cast<short>(h.biPlanes);
  *bitCount = static_cast<short>(h.biBitCount);
  *compression = static_cast<std::int32_t>(h.biCompression);
  *sizeImage = static_cast<std::int32_t>(h.biSizeImage);
  *xPelsPerMeter = h.biXPelsPerMeter;
  *yPelsPerMeter = h.biYPelsPerMeter;
  *clrUsed = static_cast<std::int32_t>(h.biClrUsed);
  *clrImportant = static_cast<std::int32_t>(h.biClrImportant);
  return hr::kOk;
}

HRESULT CCaptureEngine::SetStreamCaps(PinCategory pin, short index, short, short, const std::int32_t*) {
  return ApplyStreamCaps(pin, index, nullptr);
}

HRESULT CCaptureEngine::SetStreamCaps2(PinCategory pin, short index, const BitmapInfoHeader& fields) {
  return ApplyStreamCaps(pin, index, &fields);
}

// Stops the live graph, offers entry `index` (with the host's header fields when given) and
// builds the preview again; a format the camera refuses leaves it on the format it had.
HRESULT CCaptureEngine::ApplyStreamCaps(PinCategory pin, short index, const BitmapInfoHeader* fields) {
  StreamConfig* config = FindStreamConfig(pin);
  if (!config || !mediaControl_) return hr::kFail;
  MediaType mt;
  VideoStreamConfigCaps range;
  HRESULT result = config->GetStreamCaps(index, &mt, &range);
  if (result != hr::kOk) return result;
  const bool hadGrabber = grabber_ != nullptr;
  StopMediaControl();
  StopGraph();
  if (fields) {
    if (VideoInfoHeader* vih = mt.Vih()) {
      const std::uint32_t size = vih->bmiHeader.biSize;
      vih->bmiHeader = *fields;
      vih->bmiHeader.biSize = size;
    }
    mt.lSampleSize = fields->biSizeImage;
  }
  config->SetFormat(mt);  // a refusal keeps the running format
  return hadGrabber ? RebuildPreviewWithGrabber() : RebuildPreview();
}

HRESULT CCaptureEngine::GetResolution(PinCategory pin, std::int32_t* width, std::int32_t* height) {
  StreamConfig* config = FindStreamConfig(pin);
  if (!config) return hr::kFail;
  MediaType mt;
  HRESULT result = config->GetFormat(&mt);
  if (Failed(result)) return result;
  const VideoInfoHeader* vih = mt.Vih();
  if (!vih || !(mt.formattype == guid::kFormatVideoInfo)) return hr::kFalse;
  if (!width || !height) return hr::kPointer;
  *width = vih->bmiHeader.biWidth;
  *height = vih->bmiHeader.biHeight;
  return hr::kOk;
}

HRESULT CCaptureEngine::SetSGMediaType(std::int32_t type) {
  switch (type) {
    case 0: grabberSubtype_ = guid::kRGB24; return hr::kOk;
    case 1: grabberSubtype_ = guid::kYUY2; return hr::kOk;
    case 2: grabberSubtype_ = guid::kUYVY; return hr::kOk;
    case 3: grabberSubtype_ = guid::kYVYU; return hr::kOk;
    default: return hr::kFail;
  }
}

HRESULT CCaptureEngine::GetCurrentBuffer(std::int32_t* bufferSize, void* buffer, std::int32_t* width,
                                         std::int32_t* height) {
  GetGrabberBuffer(grabber_, bufferSize, buffer);  // its result is not reported
  MediaType connected;
  const HRESULT result = GetGrabberConnectedType(grabber_, &connected);
  if (Failed(result)) return result;
  if (!width || !height) return hr::kPointer;
  const VideoInfoHeader* vih = connected.Vih();
  *width = vih ? vih->bmiHeader.biWidth : 0;
  *height = vih ? vih->bmiHeader.biHeight : 0;
  return hr::kOk;
}
