#include "engine/sample_grabber.h"

#include <gst/video/video.h>

#include <algorithm>
#include <cstring>

namespace capture {

namespace {
constexpr const char* kGrabberKey = "ornik-sample-grabber";

bool IsBottomUpRgb(GstVideoFormat f) {
  switch (f) {
    case GST_VIDEO_FORMAT_BGR:
    case GST_VIDEO_FORMAT_BGRx:
    case GST_VIDEO_FORMAT_BGRA:
    case GST_VIDEO_FORMAT_RGB16:
    case GST_VIDEO_FORMAT_RGB15:
    case GST_VIDEO_FORMAT_RGB8P: return true;
    default: return false;
  }
}

// Copies `frame` in the grabber layout; the rules of GetCurrentBuffer.
HRESULT CopyFrame(GstSample* frame, std::int32_t* size, void* buffer) {
  const std::size_t need = frame ? CopySampleToGrabberLayout(frame, nullptr, 0) : 0;
  if (!need || need > std::size_t(INT32_MAX)) return com::VFW_E_WRONG_STATE;
  if (!buffer) {
    *size = static_cast<std::int32_t>(need);
    return com::S_OK;
  }
  if (*size < 0 || std::size_t(*size) < need) return com::E_OUTOFMEMORY;
  if (CopySampleToGrabberLayout(frame, static_cast<std::uint8_t*>(buffer), std::size_t(*size)) != need)
    return com::VFW_E_WRONG_STATE;
  *size = static_cast<std::int32_t>(need);
  return com::S_OK;
}
}  // namespace

HRESULT CGrabberCallback::SampleCB(double, GstSample*) { return com::S_OK; }

HRESULT CGrabberCallback::BufferCB(double, std::uint8_t* buffer, std::int32_t size) {
  if (IOrnikEventSink* control = control_.load()) control->FireSGCallBack(buffer, size);
  return com::S_OK;
}

std::size_t CopySampleToGrabberLayout(GstSample* sample, std::uint8_t* dst, std::size_t dstSize) {
  GstVideoInfo info;
  GstCaps* caps = sample ? gst_sample_get_caps(sample) : nullptr;
  GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
  if (!caps || !buffer || !gst_video_info_from_caps(&info, caps)) return 0;
  const GstVideoFormat format = GST_VIDEO_INFO_FORMAT(&info);
  if (!IsBottomUpRgb(format)) {
    // Other formats travel as GStreamer lays them out.
    const std::size_t size = gst_buffer_get_size(buffer);
    if (dst && dstSize >= size) gst_buffer_extract(buffer, 0, dst, size);
    return size;
  }
  const int width = GST_VIDEO_INFO_WIDTH(&info), height = GST_VIDEO_INFO_HEIGHT(&info);
  const std::size_t pixelBytes = std::size_t(GST_VIDEO_INFO_COMP_PSTRIDE(&info, 0)) * width;
  const std::size_t row = (pixelBytes + 3) & ~std::size_t(3);
  const std::size_t size = row * std::size_t(height);
  if (!dst || dstSize < size) return size;
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) return 0;
  const auto* src = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
  const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = dst + std::size_t(height - 1 - y) * row;  // bottom row first
    std::memcpy(out, src + std::size_t(y) * std::size_t(stride), pixelBytes);
    std::memset(out + pixelBytes, 0, row - pixelBytes);
  }
  gst_video_frame_unmap(&frame);
  return size;
}

GstCaps* ConvertedCaps(GstCaps* caps, GstVideoFormat format) {
  GstCaps* converted = gst_caps_new_empty();
  if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return converted;
  GstStructure* s = gst_structure_copy(gst_caps_get_structure(caps, 0));
  gst_structure_set(s, "format", G_TYPE_STRING, gst_video_format_to_string(format), nullptr);
  // YUV and RGB describe their colours differently: the target gets the default of its kind.
  gst_structure_remove_fields(s, "colorimetry", "chroma-site", nullptr);
  gst_caps_append_structure(converted, s);
  return converted;
}

FrameConverter::~FrameConverter() {
  Release();
  if (result_) gst_sample_unref(result_);
}

void FrameConverter::Release() {
  if (converter_) gst_video_converter_free(converter_);
  if (inCaps_) gst_caps_unref(inCaps_);
  if (outCaps_) gst_caps_unref(outCaps_);
  converter_ = nullptr;
  inCaps_ = outCaps_ = nullptr;
  format_ = GST_VIDEO_FORMAT_UNKNOWN;
}

GstSample* FrameConverter::Convert(GstSample* sample, GstVideoFormat format) {
  if (result_) gst_sample_unref(result_);
  result_ = nullptr;
  GstCaps* caps = sample ? gst_sample_get_caps(sample) : nullptr;
  GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
  if (!caps || !buffer) return nullptr;
  if (!inCaps_ || format != format_ || !gst_caps_is_equal(caps, inCaps_)) {
    Release();
    GstCaps* outCaps = ConvertedCaps(caps, format);
    if (!gst_video_info_from_caps(&in_, caps) || !gst_video_info_from_caps(&out_, outCaps)) {
      gst_caps_unref(outCaps);
      return nullptr;
    }
    inCaps_ = gst_caps_ref(caps);
    outCaps_ = outCaps;
    format_ = format;
    // Frames already in the target format pass as they are.
    if (GST_VIDEO_INFO_FORMAT(&in_) != format) {
      converter_ = gst_video_converter_new(
          &in_, &out_, gst_structure_new("GstVideoConverter", GST_VIDEO_CONVERTER_OPT_THREADS, G_TYPE_UINT, threads_, nullptr));
      if (!converter_) {
        Release();
        return nullptr;
      }
      pixels_.resize(GST_VIDEO_INFO_SIZE(&out_));
    }
  }
  if (!converter_) return result_ = gst_sample_ref(sample);
  GstVideoFrame in, out;
  if (!gst_video_frame_map(&in, &in_, buffer, GST_MAP_READ)) return nullptr;
  // The output block is the converter's own and outlives every sample made of it.
  GstBuffer* converted =
      gst_buffer_new_wrapped_full(GstMemoryFlags(0), pixels_.data(), pixels_.size(), 0, pixels_.size(), nullptr, nullptr);
  if (!gst_video_frame_map(&out, &out_, converted, GST_MAP_WRITE)) {
    gst_video_frame_unmap(&in);
    gst_buffer_unref(converted);
    return nullptr;
  }
  gst_video_converter_frame(converter_, &in, &out);
  gst_video_frame_unmap(&out);
  gst_video_frame_unmap(&in);
  GST_BUFFER_PTS(converted) = GST_BUFFER_PTS(buffer);
  GST_BUFFER_DURATION(converted) = GST_BUFFER_DURATION(buffer);
  result_ = gst_sample_new(converted, outCaps_, gst_sample_get_segment(sample), nullptr);
  gst_buffer_unref(converted);
  return result_;
}

unsigned SampleGrabber::DemandThreads() { return std::clamp(g_get_num_processors(), 1u, 4u); }

SampleGrabber::SampleGrabber(GstElement* sink) : sink_(sink) {}

SampleGrabber::~SampleGrabber() {
  if (current_) gst_sample_unref(current_);
  if (mediaCaps_) gst_caps_unref(mediaCaps_);
}

GstElement* SampleGrabber::Create(const char* name) {
  GstElement* sink = gst_element_factory_make("appsink", name);
  if (!sink) return nullptr;
  g_object_set(sink, "max-buffers", 1u, "drop", TRUE, "sync", FALSE, "emit-signals", FALSE,
               "enable-last-sample", FALSE, nullptr);
  auto* grabber = new SampleGrabber(sink);
  g_object_set_data_full(G_OBJECT(sink), kGrabberKey, grabber,
                         [](gpointer p) { delete static_cast<SampleGrabber*>(p); });
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = &SampleGrabber::OnNewSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, grabber, nullptr);
  return sink;
}

SampleGrabber* SampleGrabber::FromElement(GstElement* element) {
  return element ? static_cast<SampleGrabber*>(g_object_get_data(G_OBJECT(element), kGrabberKey)) : nullptr;
}

void SampleGrabber::SyncToClock(GstElement* element) {
  SampleGrabber* grabber = FromElement(element);
  if (!grabber) return;
  g_object_set(element, "sync", TRUE, nullptr);
  {
    std::lock_guard lock(grabber->mutex_);
    grabber->played_ = true;
    grabber->lastTaken_ = GST_CLOCK_TIME_NONE;
  }
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = &SampleGrabber::OnNewSample;
  callbacks.new_preroll = &SampleGrabber::OnNewPreroll;
  gst_app_sink_set_callbacks(GST_APP_SINK(element), &callbacks, grabber, nullptr);
}

GstFlowReturn SampleGrabber::OnNewSample(GstAppSink* sink, gpointer self) {
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (!sample) return GST_FLOW_EOS;
  auto* grabber = static_cast<SampleGrabber*>(self);
  {
    // The sample the graph prerolled on comes again when it runs on: it was taken already.
    std::lock_guard lock(grabber->mutex_);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const bool seen = (grabber->prerolled_ && buffer == grabber->prerolled_) || grabber->SameAsLast(buffer);
    grabber->prerolled_ = nullptr;
    if (seen) {
      gst_sample_unref(sample);
      return GST_FLOW_OK;
    }
  }
  return grabber->TakeSample(sample);
}

GstFlowReturn SampleGrabber::OnNewPreroll(GstAppSink* sink, gpointer self) {
  GstSample* sample = gst_app_sink_pull_preroll(sink);
  if (!sample) return GST_FLOW_EOS;
  auto* grabber = static_cast<SampleGrabber*>(self);
  bool again = false;
  {
    std::lock_guard lock(grabber->mutex_);
    grabber->prerolled_ = gst_sample_get_buffer(sample);
    // A pause or a seek that prerolls the frame the callback had last: kept, not handed on again.
    again = grabber->SameAsLast(grabber->prerolled_);
  }
  return grabber->TakeSample(sample, !again);
}

bool SampleGrabber::SameAsLast(const GstBuffer* buffer) const {
  return played_ && buffer && GST_BUFFER_PTS_IS_VALID(buffer) && GST_BUFFER_PTS(buffer) == lastTaken_;
}

GstFlowReturn SampleGrabber::TakeSample(GstSample* sample, bool toCallback) {
  CGrabberCallback* callback = nullptr;
  int which = 0;
  GstVideoFormat target = GST_VIDEO_FORMAT_UNKNOWN;
  {
    std::lock_guard lock(mutex_);
    if (oneShot_ && shotTaken_) {
      gst_sample_unref(sample);
      return GST_FLOW_EOS;
    }
    shotTaken_ = true;
    if (toCallback) callback = callback_;
    which = whichMethod_;
    target = TargetFormat();
    if (played_) {
      GstBuffer* buffer = gst_sample_get_buffer(sample);
      lastTaken_ = buffer ? GST_BUFFER_PTS(buffer) : GST_CLOCK_TIME_NONE;
    }
  }
  if (callback) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const double time = buffer && GST_BUFFER_PTS_IS_VALID(buffer) ? double(GST_BUFFER_PTS(buffer)) / GST_SECOND : 0.0;
    // The callback asked for every frame: each one is converted for it.
    GstSample* frame = target == GST_VIDEO_FORMAT_UNKNOWN ? sample : streamConverter_.Convert(sample, target);
    if (frame && which == 0) {
      callback->SampleCB(time, frame);
    } else if (frame) {
      std::size_t need = CopySampleToGrabberLayout(frame, nullptr, 0);
      scratch_.resize(need);
      if (need && CopySampleToGrabberLayout(frame, scratch_.data(), scratch_.size()) == need)
        callback->BufferCB(time, scratch_.data(), static_cast<std::int32_t>(need));
    }
  }
  std::function<void()> listener;
  {
    std::lock_guard lock(mutex_);
    if (buffering_) {
      std::swap(current_, sample);
      ++currentSerial_;
    }
    listener = listener_;
  }
  if (sample) gst_sample_unref(sample);
  ++samples_;
  if (listener) listener();
  return GST_FLOW_OK;
}

HRESULT SampleGrabber::SetMediaType(const MediaType& mt) {
  std::lock_guard lock(mutex_);
  if (mediaCaps_) gst_caps_unref(mediaCaps_);
  wanted_ = GST_VIDEO_FORMAT_UNKNOWN;
  if (mt.subtype == guid::kMJPG) {
    mediaCaps_ = gst_caps_new_empty_simple("image/jpeg");
  } else if (const char* format = RawFormatOfSubtype(mt.subtype)) {
    mediaCaps_ = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, nullptr);
    wanted_ = gst_video_format_from_string(format);
  } else {
    mediaCaps_ = gst_caps_new_empty_simple("video/x-raw");
  }
  ApplyCaps();
  return com::S_OK;
}

void SampleGrabber::ConvertOnDemand(GstElement* element) {
  SampleGrabber* grabber = FromElement(element);
  if (!grabber) return;
  std::lock_guard lock(grabber->mutex_);
  grabber->onDemand_ = true;
  grabber->ApplyCaps();
}

void SampleGrabber::ApplyCaps() {
  // Converted on demand: any raw frame is taken as it comes.
  GstCaps* caps = TargetFormat() != GST_VIDEO_FORMAT_UNKNOWN ? gst_caps_new_empty_simple("video/x-raw")
                  : mediaCaps_                               ? gst_caps_ref(mediaCaps_)
                                                             : nullptr;
  if (!caps) return;
  g_object_set(sink_, "caps", caps, nullptr);
  gst_caps_unref(caps);
}

HRESULT SampleGrabber::GetConnectedMediaType(MediaType* mt) const {
  if (!mt) return com::E_POINTER;
  GstPad* pad = gst_element_get_static_pad(sink_, "sink");
  GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
  if (pad) gst_object_unref(pad);
  GstVideoFormat target = GST_VIDEO_FORMAT_UNKNOWN;
  {
    std::lock_guard lock(mutex_);
    // A stopped graph has dropped its caps; the last sample still tells what was connected.
    if (!caps && current_ && gst_sample_get_caps(current_)) caps = gst_caps_ref(gst_sample_get_caps(current_));
    target = TargetFormat();
  }
  if (!caps) return com::VFW_E_NOT_CONNECTED;
  if (target != GST_VIDEO_FORMAT_UNKNOWN) {
    // What the host gets is the converted frame.
    GstCaps* converted = ConvertedCaps(caps, target);
    gst_caps_unref(caps);
    caps = converted;
  }
  const bool known = !gst_caps_is_empty(caps);
  if (known) *mt = MediaTypeFromStructure(gst_caps_get_structure(caps, 0));
  gst_caps_unref(caps);
  return known ? com::S_OK : com::VFW_E_NOT_CONNECTED;
}

HRESULT SampleGrabber::SetBufferSamples(bool on) {
  std::lock_guard lock(mutex_);
  buffering_ = on;
  if (!on && current_) {
    gst_sample_unref(current_);
    current_ = nullptr;
  }
  return com::S_OK;
}

HRESULT SampleGrabber::SetOneShot(bool on) {
  std::lock_guard lock(mutex_);
  oneShot_ = on;
  shotTaken_ = false;
  return com::S_OK;
}

HRESULT SampleGrabber::GetCurrentBuffer(std::int32_t* size, void* buffer) const {
  if (!size) return com::E_POINTER;
  GstSample* newest = nullptr;
  std::uint64_t serial = 0;
  GstVideoFormat target = GST_VIDEO_FORMAT_UNKNOWN;
  {
    std::lock_guard lock(mutex_);
    if (!buffering_) return com::E_INVALIDARG;
    if (!current_) return com::VFW_E_WRONG_STATE;
    newest = gst_sample_ref(current_);
    serial = currentSerial_;
    target = TargetFormat();
  }
  // The streaming thread goes on meanwhile; the copy is of the newest frame at the call.
  std::lock_guard lock(demandMutex_);
  GstSample* frame = newest;
  if (target != GST_VIDEO_FORMAT_UNKNOWN) {
    // The frame converted last is reused when no newer one came (the size, then the copy).
    frame = demandSerial_ == serial ? demandConverter_.Held() : demandConverter_.Convert(newest, target);
    demandSerial_ = frame ? serial : 0;
  }
  const HRESULT result = CopyFrame(frame, size, buffer);
  gst_sample_unref(newest);
  return result;
}

HRESULT SampleGrabber::SetCallback(CGrabberCallback* callback, int whichMethod) {
  if (whichMethod != 0 && whichMethod != 1) return com::E_INVALIDARG;
  std::lock_guard lock(mutex_);
  callback_ = callback;
  whichMethod_ = whichMethod;
  return com::S_OK;
}

void SampleGrabber::SetSampleListener(std::function<void()> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

namespace {
HRESULT WithGrabber(GstElement* filter, const std::function<HRESULT(SampleGrabber&)>& call) {
  if (!filter) return com::E_FAIL;
  SampleGrabber* grabber = SampleGrabber::FromElement(filter);
  if (!grabber) return com::E_NOINTERFACE;
  return call(*grabber);
}
}  // namespace

HRESULT CreateSampleGrabber(GstElement** filter) {
  if (!filter) return com::E_POINTER;
  *filter = SampleGrabber::Create("Grabber");
  if (!*filter) return com::REGDB_E_CLASSNOTREG;
  gst_object_ref_sink(*filter);
  return com::S_OK;
}

HRESULT ConfigureGrabber(GstElement* filter, const MediaType& mt) {
  return WithGrabber(filter, [&](SampleGrabber& g) {
    g.SetBufferSamples(true);
    return g.SetMediaType(mt);
  });
}

HRESULT GetGrabberConnectedType(GstElement* filter, MediaType* mt) {
  return WithGrabber(filter, [&](SampleGrabber& g) { return g.GetConnectedMediaType(mt); });
}

HRESULT GetGrabberBuffer(GstElement* filter, std::int32_t* size, void* buffer) {
  return WithGrabber(filter, [&](SampleGrabber& g) { return g.GetCurrentBuffer(size, buffer); });
}

HRESULT SetGrabberBuffering(GstElement* filter, bool on) {
  return WithGrabber(filter, [&](SampleGrabber& g) { return g.SetBufferSamples(on); });
}

HRESULT SetGrabberOneShot(GstElement* filter, bool on) {
  return WithGrabber(filter, [&](SampleGrabber& g) { return g.SetOneShot(on); });
}

HRESULT SetGrabberCallback(GstElement* filter, CGrabberCallback& callback, IOrnikEventSink* control) {
  return WithGrabber(filter, [&](SampleGrabber& g) {
    callback.SetControl(control);
    return g.SetCallback(&callback, 1);
  });
}

}  // namespace capture
