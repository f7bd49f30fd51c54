#include "engine/capture_engine.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "engine/devices.h"
#include "engine/gst_errors.h"

using namespace capture;

namespace capture {

namespace {

// How long a build waits for its first frame: a real camera may take a second or two to start;
// one that sends nothing by then is reported at once, and its graph does not count as built.
constexpr auto kStartTimeout = std::chrono::seconds(4);

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

void ZeroHeader(BitmapInfoHeader& h) {
  h = BitmapInfoHeader{};
  h.biSize = 0;
  h.biPlanes = 0;
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

std::int32_t CCaptureEngine::GetCompressorCount() const { return CompressorList(LiveFormat().get()).Count(); }

QString CCaptureEngine::GetCompressorName(int index) const { return CompressorList(LiveFormat().get()).Name(index); }

void CCaptureEngine::SetCompressorIndex(int index) {
  compressorIndex_ = index;
  compressorName_.clear();
  if (index < 0) return;
  CompressorList list(LiveFormat().get());
  if (GstElementFactory* factory = list.At(index)) compressorName_ = GST_OBJECT_NAME(factory);
}

CapsPtr CCaptureEngine::LiveFormat() const {
  GstElement* tee = live_ ? live_->Tee() : nullptr;
  PadPtr pad = tee ? Adopt(gst_element_get_static_pad(tee, "sink")) : nullptr;
  return CapsPtr(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
}

HRESULT CCaptureEngine::CreateCompressor(int index, GstElement** filter) const {
  if (!filter) return com::E_POINTER;
  *filter = nullptr;
  if (index < 0) return com::E_FAIL;
  CompressorList list(LiveFormat().get());
  GstElementFactory* factory = list.At(index);
  if (!factory) return com::E_FAIL;
  GstElement* element = gst_element_factory_create(factory, "Video Compressor");
  if (!element) return com::REGDB_E_CLASSNOTREG;
  *filter = GST_ELEMENT(gst_object_ref_sink(element));
  return com::S_OK;
}

// ---- live graphs ------------------------------------------------------------------------------

HRESULT CCaptureEngine::PreviewOn(IVideoWindow* window) { return BuildLive(window, false); }

HRESULT CCaptureEngine::PreviewOnWithGrabber(IVideoWindow* window) { return BuildLive(window, true); }

HRESULT CCaptureEngine::BuildLive(IVideoWindow* window, bool withGrabber) {
  if (!window) return com::E_FAIL;
  const int dvResolution = dvDecoderResolution_;  // a DV rebuild's value outlives this teardown
  TearDownGraph();  // one graph at a time: the camera is released before it is opened again
  dvDecoderResolution_ = dvResolution;
  captureFile_.clear();
  videoWindow_ = window;
  HRESULT result = graph_.Create("Capture Graph");
  if (Succeeded(result)) {
    live_ = std::make_unique<LiveGraph>(graph_, window);
    live_->SetDvResolution(withGrabber ? dvDecoderResolution_ : 1000);
    result = live_->AddSource(videoDeviceIndex_);
  }
  if (Succeeded(result)) {
    // Ask for the preview format first; a camera that refuses keeps its own.
    live_->Config()->SetFormatOrSize(PreviewFormat());
    result = live_->BuildDownstream(withGrabber);
  }
  const bool built = Succeeded(result);
  if (built) result = RunLive(withGrabber);
  if (Succeeded(result)) AttachDevice();
  if (Failed(result)) {
    // Only a graph that runs counts as built: a host's next call finds no graph and fails at
    // once instead of waiting for the same camera again.
    TearDownGraph();
    if (built) buildFailure_ = result;  // the camera's own failure, for the stills that follow
  }
  return result;
}

// Runs the live graph (live graphs drain their events in the window, instance data 0) and reads
// the grabber's format.
HRESULT CCaptureEngine::RunLive(bool withGrabber) {
  graph_.SetNotify(videoWindow_, 0);
  const HRESULT run = live_->Run(kStartTimeout);
  if (Failed(run)) return run;
  liveMode_ = true;
  graph_.SetState(withGrabber ? GraphState::LiveWithGrabber : GraphState::Live);
  return withGrabber ? ReadFrameHeader() : run;
}

HRESULT CCaptureEngine::ReadFrameHeader() {
  MediaType connected;
  const HRESULT result = GetGrabberConnectedType(Grabber(), &connected);
  if (Failed(result)) return result;
  ZeroHeader(frameHeader_);
  if (const VideoInfoHeader* vih = connected.Vih()) frameHeader_ = vih->bmiHeader;
  return com::S_OK;
}

void CCaptureEngine::TearDownGraph() {
  buildFailure_ = com::S_OK;
  refusal_ = com::S_OK;
  DetachDevice();
  FinishRecording();            // the file gets its header and index while the graph still runs
  graph_.Stop(GST_STATE_NULL);  // stops and joins the streaming threads
  playback_.reset();
  live_.reset();
  graph_.Release();
  // The mode follows the graph: a file played after a live preview rewinds and gives stills.
  liveMode_ = false;
  partPlay_ = false;
  stillWait_ = false;
  dvDecoderResolution_ = 1000;
}

// Format change: stop the graph, remove everything behind the camera's source, build it again
// in the configuration's format and run. A recording branch hangs on what is removed: its file is
// finished first (callers refuse while the recording runs).
HRESULT CCaptureEngine::Rebuild(bool withGrabber) {
  FinishRecording();
  graph_.Stop(GST_STATE_READY);
  graph_.SetNotify(nullptr, 0);
  live_->RemoveDownstream();
  const HRESULT result = live_->BuildDownstream(withGrabber);
  if (Failed(result)) return result;
  return RunLive(withGrabber);
}

// ---- stream formats ---------------------------------------------------------------------------

StreamConfig* CCaptureEngine::FindStreamConfig(PinCategory) const {
  // The source has one output; it is the capture pin and the preview pin alike.
  return live_ ? live_->Config() : nullptr;
}

HRESULT CCaptureEngine::GetStreamCapsCount(PinCategory pin, short* count) {
  StreamConfig* config = FindStreamConfig(pin);
  if (!config) return com::E_FAIL;
  if (!count) return com::E_POINTER;
  *count = static_cast<short>(config->GetNumberOfCapabilities());
  return com::S_OK;
}

HRESULT CCaptureEngine::StreamCapsEntry(PinCategory pin, short index, MediaType* mt,
                                        VideoStreamConfigCaps* range) const {
  StreamConfig* config = FindStreamConfig(pin);
  if (!config) return com::E_FAIL;
  return config->GetStreamCaps(index, mt, range);
}

HRESULT CCaptureEngine::GetStreamCaps(PinCategory pin, short index, short* minX, short* minY, short* maxX,
                                      short* maxY, short* stepX, short* stepY, short* colorSpace,
                                      std::int32_t* bih) {
  MediaType mt;
  VideoStreamConfigCaps range;
  const HRESULT result = StreamCapsEntry(pin, index, &mt, &range);
  if (result != com::S_OK) return result;
  if (!minX || !minY || !maxX || !maxY || !stepX || !stepY || !colorSpace) return com::E_POINTER;
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
  return com::S_OK;
}

HRESULT CCaptureEngine::GetStreamCapsBih(PinCategory pin, short index, std::int32_t* width, std::int32_t* height,
                                         short* planes, short* bitCount, std::int32_t* compression,
                                         std::int32_t* sizeImage, std::int32_t* xPelsPerMeter,
                                         std::int32_t* yPelsPerMeter, std::int32_t* clrUsed,
                                         std::int32_t* clrImportant) {
  MediaType mt;
  VideoStreamConfigCaps range;
  const HRESULT result = StreamCapsEntry(pin, index, &mt, &range);
  if (result != com::S_OK) return result;
  if (!width || !height || !planes || !bitCount || !compression || !sizeImage || !xPelsPerMeter ||
      !yPelsPerMeter || !clrUsed || !clrImportant)
    return com::E_POINTER;
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
  return com::S_OK;
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
  if (!config || !graph_.Running()) return com::E_FAIL;
  MediaType mt;
  VideoStreamConfigCaps range;
  HRESULT result = config->GetStreamCaps(index, &mt, &range);
  if (result != com::S_OK) return result;
  const bool hadGrabber = Grabber() != nullptr;
  if (IsRecording()) return com::VFW_E_WRONG_STATE;  // a rebuild would cut the recording
  FinishRecording();
  if (fields) {
    if (VideoInfoHeader* vih = mt.Vih()) {
      const std::uint32_t size = vih->bmiHeader.biSize;
      vih->bmiHeader = *fields;
      vih->bmiHeader.biSize = size;
    }
    mt.lSampleSize = fields->biSizeImage;
  }
  config->SetFormatOrSize(mt);  // a refusal keeps the running format, or takes the size asked
  return Rebuild(hadGrabber);
}

HRESULT CCaptureEngine::GetResolution(PinCategory pin, std::int32_t* width, std::int32_t* height) {
  StreamConfig* config = FindStreamConfig(pin);
  if (!config) return com::E_FAIL;
  MediaType mt;
  HRESULT result = config->GetFormat(&mt);
  if (Failed(result)) return result;
  const VideoInfoHeader* vih = mt.Vih();
  if (!vih || !(mt.formattype == guid::kFormatVideoInfo)) return com::S_FALSE;
  if (!width || !height) return com::E_POINTER;
  *width = vih->bmiHeader.biWidth;
  *height = vih->bmiHeader.biHeight;
  return com::S_OK;
}

HRESULT CCaptureEngine::SetSGMediaType(std::int32_t type) {
  switch (type) {
    case 0: grabberSubtype_ = guid::kRGB24; return com::S_OK;
    case 1: grabberSubtype_ = guid::kYUY2; return com::S_OK;
    case 2: grabberSubtype_ = guid::kUYVY; return com::S_OK;
    case 3: grabberSubtype_ = guid::kYVYU; return com::S_OK;
    default: return com::E_FAIL;
  }
}

HRESULT CCaptureEngine::GetCurrentBuffer(std::int32_t* bufferSize, void* buffer, std::int32_t* width,
                                         std::int32_t* height) {
  const HRESULT copied = GetGrabberBuffer(Grabber(), bufferSize, buffer);
  // A buffer too small for the frame (nothing copied) is the call's failure.
  if (Failed(copied)) return copied;
  MediaType connected;
  const HRESULT result = GetGrabberConnectedType(Grabber(), &connected);
  if (Failed(result)) return result;
  if (!width || !height) return com::E_POINTER;
  const VideoInfoHeader* vih = connected.Vih();
  *width = vih ? vih->bmiHeader.biWidth : 0;
  *height = vih ? vih->bmiHeader.biHeight : 0;
  return com::S_OK;
}
