#include "engine/playback_graph.h"

#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/decoding.h"
#include "engine/gst_errors.h"
#include "engine/live_graph.h"
#include "engine/sample_grabber.h"
#include "engine/video_renderer.h"

namespace capture {

namespace {

// How long a file may take to show its first frame.
constexpr auto kOpenTimeout = std::chrono::seconds(10);
// The frames whose timestamps tell a file's real frame rate, and how long to wait for them.
constexpr std::size_t kRateFrames = 8;
constexpr auto kRateWait = std::chrono::milliseconds(500);
// 100-ns units per nanosecond step.
constexpr GstClockTime kUnitNs = 100;
// A file without a video frame plays nothing: it is refused as the grabber refuses it.
constexpr HRESULT kNoVideo = com::VFW_E_NOT_CONNECTED;

bool HasPrefix(GstCaps* caps, const char* prefix) {
  const GstStructure* s = caps && gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  return s && g_str_has_prefix(gst_structure_get_name(s), prefix);
}

void Discard(GstElement* element) {
  if (element) gst_object_unref(gst_object_ref_sink(element));
}

// The default audio sink when the machine has one that opens, else one that keeps the clock and
// plays nothing.
GstElement* MakeAudioSink() {
  if (GstElement* sink = MakeElement("autoaudiosink", "Audio Renderer")) {
    gst_object_ref_sink(sink);
    if (gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) return sink;
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
  }
  GstElement* silent = MakeElement("fakesink", "Audio Renderer");
  if (silent) {
    gst_object_ref_sink(silent);
    g_object_set(silent, "sync", TRUE, nullptr);
  }
  return silent;
}

}  // namespace

PlaybackGraph::~PlaybackGraph() {
  // Reverse order of taking; the graph was stopped by its owner before.
  source_.reset();
  tee_.reset();
  grabber_.reset();
  renderer_.reset();
}

VideoRenderer* PlaybackGraph::Renderer() const { return VideoRenderer::FromElement(renderer_.get()); }

GstElement* PlaybackGraph::AddVideoElement(const char* factory, const char* name) {
  GstElement* element = MakeElement(factory, name);
  if (!element) return nullptr;
  gst_bin_add(graph_.Bin(), element);
  return element;
}

HRESULT PlaybackGraph::AddBranch(const char* queueName, const char* converterName, GstElement* sink) {
  GstElement* queue = AddVideoElement("queue", queueName);
  GstElement* converter = AddVideoElement("videoconvert", converterName);
  if (!queue || !converter) return com::REGDB_E_CLASSNOTREG;
  if (!gst_element_link(tee_.get(), queue) || Failed(LinkElements(queue, converter)) ||
      Failed(LinkElements(converter, sink)))
    return com::VFW_E_CANNOT_CONNECT;
  return com::S_OK;
}

HRESULT PlaybackGraph::Build(bool withGrabber, const Guid& grabberSubtype) {
  if (!graph_.Exists()) return com::E_FAIL;
  if (withGrabber) {
    GstElement* grabber = nullptr;
    const HRESULT result = CreateSampleGrabber(&grabber);
    if (Failed(result)) return result;
    grabber_ = Adopt(grabber);
    gst_bin_add(graph_.Bin(), grabber_.get());
    MediaType mt;
    InitMediaType(mt);
    mt.majortype = guid::kMediaTypeVideo;
    mt.subtype = grabberSubtype;
    mt.formattype = guid::kFormatVideoInfo;
    ConfigureGrabber(grabber_.get(), mt);
    SampleGrabber::SyncToClock(grabber_.get());
    SampleGrabber::FromElement(grabber_.get())->SetSampleListener([this] { graph_.NotifyProgress(); });
  }
  renderer_ = Sink(VideoRenderer::Create("VMR"));
  if (!renderer_) return com::REGDB_E_CLASSNOTREG;
  gst_bin_add(graph_.Bin(), renderer_.get());
  VideoRenderer::SyncToClock(renderer_.get());
  VideoRenderer* r = Renderer();
  r->SetClippingWindow(window_);
  if (window_) r->SetVideoPosition(window_->VideoWindowRect());
  r->SetFrameListener([this] { graph_.NotifyProgress(); });

  tee_ = Ref(AddVideoElement("tee", "Smart Tee"));
  if (!tee_) return com::REGDB_E_CLASSNOTREG;
  HRESULT result = AddBranch("Preview Queue", "Color Space Converter", renderer_.get());
  if (Succeeded(result) && grabber_) result = AddBranch("Grabber Queue", "Grabber Converter", grabber_.get());
  return result;
}

void PlaybackGraph::OnPadAdded(GstElement*, GstPad* pad, gpointer self) {
  auto* graph = static_cast<PlaybackGraph*>(self);
  CapsPtr caps(gst_pad_get_current_caps(pad));
  if (!caps) caps.reset(gst_pad_query_caps(pad, nullptr));
  if (HasPrefix(caps.get(), "video/")) {
    std::lock_guard lock(graph->mutex_);
    if (graph->videoLinked_) return;  // the first video stream is the one shown
    PadPtr sink = Adopt(gst_element_get_static_pad(graph->tee_.get(), "sink"));
    if (gst_pad_link(pad, sink.get()) == GST_PAD_LINK_OK) {
      graph->videoLinked_ = true;
      graph->videoCaps_ = std::move(caps);
      gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                        &PlaybackGraph::OnVideoData, graph, nullptr);
    }
  } else if (HasPrefix(caps.get(), "audio/")) {
    graph->LinkAudio(pad);
  }
}

GstPadProbeReturn PlaybackGraph::OnVideoData(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* self = static_cast<PlaybackGraph*>(data);
  if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
      const GstSegment* segment = nullptr;
      gst_event_parse_segment(event, &segment);
      self->segmentStart_ = segment->format == GST_FORMAT_TIME && segment->rate > 0 ? segment->start : 0;
    }
    return GST_PAD_PROBE_OK;
  }
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  self->videoFrame_ = true;
  const GstClockTime pts = GST_BUFFER_PTS(buffer);
  if (!GST_CLOCK_TIME_IS_VALID(pts)) return GST_PAD_PROBE_OK;
  {
    std::lock_guard lock(self->mutex_);
    if (self->firstPts_.size() < kRateFrames) self->firstPts_.push_back(pts);
  }
  // The decoder has already cut such a frame down to the part inside the segment: what is left
  // of it (its end) shows where it really lay.
  const GstClockTime frame = self->frameNs_.load();
  const GstClockTime duration = GST_BUFFER_DURATION(buffer);
  const GstClockTime end = GST_CLOCK_TIME_IS_VALID(duration) ? pts + duration : pts + frame;
  return frame > 0 && end < self->segmentStart_ + frame / 2 ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

void PlaybackGraph::OnNoMorePads(GstElement*, gpointer self) {
  auto* graph = static_cast<PlaybackGraph*>(self);
  graph->noMorePads_ = true;
  graph->graph_.NotifyProgress();
}

// The first sound stream goes to the audio renderer; when that cannot be built, the sound is
// dropped silently.
void PlaybackGraph::LinkAudio(GstPad* pad) {
  {
    std::lock_guard lock(mutex_);
    if (audioLinked_) return;
    audioLinked_ = true;
  }
  GstElement* convert = MakeElement("audioconvert", "Audio Converter");
  GstElement* resample = MakeElement("audioresample", "Audio Resampler");
  GstElement* sink = MakeAudioSink();
  if (!convert || !resample || !sink) {
    Discard(convert);
    Discard(resample);
    if (sink) {
      gst_element_set_state(sink, GST_STATE_NULL);
      gst_object_unref(sink);
    }
    return;
  }
  gst_bin_add_many(graph_.Bin(), convert, resample, sink, nullptr);
  gst_object_unref(sink);  // the bin holds it now
  gst_element_link_many(convert, resample, sink, nullptr);
  for (GstElement* e : {sink, resample, convert}) gst_element_sync_state_with_parent(e);
  PadPtr in = Adopt(gst_element_get_static_pad(convert, "sink"));
  gst_pad_link(pad, in.get());
}

HRESULT PlaybackGraph::WaitForPreroll(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const GstStateChangeReturn ret = gst_element_get_state(graph_.Pipeline(), nullptr, nullptr, 20 * GST_MSECOND);
    if (ret == GST_STATE_CHANGE_SUCCESS || ret == GST_STATE_CHANGE_NO_PREROLL) break;
    const HRESULT failure = graph_.StreamError();
    if (Failed(failure)) return failure;  // the state may wait on for what never comes
    if (ret == GST_STATE_CHANGE_FAILURE) return com::VFW_E_INVALID_FILE_FORMAT;
    if (noMorePads_) {
      std::lock_guard lock(mutex_);
      if (!videoLinked_) return kNoVideo;  // nothing reaches the renderer (and the grabber)
    }
    if (std::chrono::steady_clock::now() >= deadline) return com::VFW_E_TIMEOUT;
  }
  // A video stream that ended before its first frame (its file holds sound only).
  return videoFrame_ ? com::S_OK : kNoVideo;
}

HRESULT PlaybackGraph::Open(const std::string& fileName) {
  durationNs_ = 0;
  fpsN_ = 0;
  fpsD_ = 1;
  originNs_ = 0;
  stopNs_ = GST_CLOCK_TIME_NONE;
  frameNs_ = 0;
  videoFrame_ = false;
  {
    std::lock_guard lock(mutex_);
    firstPts_.clear();
  }
  if (!graph_.Exists() || !tee_) return com::E_FAIL;
  GError* error = nullptr;
  gchar* uri = gst_filename_to_uri(fileName.c_str(), &error);
  if (!uri) {
    if (error) g_error_free(error);
    return com::E_INVALIDARG;
  }
  source_ = Sink(MakeElement("uridecodebin", "SOURCE"));
  if (!source_) {
    g_free(uri);
    return com::REGDB_E_CLASSNOTREG;
  }
  g_object_set(source_.get(), "uri", uri, nullptr);
  g_free(uri);
  MendDecodingInside(GST_BIN(source_.get()));
  g_signal_connect(source_.get(), "pad-added", G_CALLBACK(&PlaybackGraph::OnPadAdded), this);
  g_signal_connect(source_.get(), "no-more-pads", G_CALLBACK(&PlaybackGraph::OnNoMorePads), this);
  gst_bin_add(graph_.Bin(), source_.get());

  if (gst_element_set_state(graph_.Pipeline(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
    const HRESULT failure = graph_.StreamError();
    return Failed(failure) ? failure : com::VFW_E_INVALID_FILE_FORMAT;
  }
  const HRESULT prerolled = WaitForPreroll(kOpenTimeout);
  if (Failed(prerolled)) return prerolled;

  {
    std::lock_guard lock(mutex_);
    GstVideoInfo info;
    if (videoCaps_ && gst_video_info_from_caps(&info, videoCaps_.get()) && GST_VIDEO_INFO_FPS_N(&info) > 0 &&
        GST_VIDEO_INFO_FPS_D(&info) > 0) {
      fpsN_ = GST_VIDEO_INFO_FPS_N(&info);
      fpsD_ = GST_VIDEO_INFO_FPS_D(&info);
    }
  }
  if (FrameFormat()) TakeRateFromTimestamps();
  frameNs_ = FrameFormat() ? gst_util_uint64_scale(GST_SECOND, guint64(fpsD_), guint64(fpsN_)) : 0;
  {
    // Frames count from the first: a file's video may start after its sound.
    std::lock_guard lock(mutex_);
    if (FrameFormat() && !firstPts_.empty()) originNs_ = *std::min_element(firstPts_.begin(), firstPts_.end());
  }
  // The file's length is its video's: sound that goes on after the last frame holds no frame.
  gint64 duration = -1;
  PadPtr video = Adopt(gst_element_get_static_pad(tee_.get(), "sink"));
  if (!gst_pad_peer_query_duration(video.get(), GST_FORMAT_TIME, &duration) || duration < 0)
    gst_element_query_duration(graph_.Pipeline(), GST_FORMAT_TIME, &duration);
  if (duration < 0) return com::E_NOTIMPL;  // a stream without a length (the duration call's refusal)
  durationNs_ = GstClockTime(duration);
  return com::S_OK;
}

// Some containers carry no frame rate (ASF): the decoder's caps then name a default of its own
// (25), and every frame number would land on another frame. The first frames' timestamps tell the
// rate the file has; the decoder keeps filling the queues after the preroll, so they come quickly.
void PlaybackGraph::TakeRateFromTimestamps() {
  const auto deadline = std::chrono::steady_clock::now() + kRateWait;
  std::vector<GstClockTime> pts;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      pts = firstPts_;
    }
    if (pts.size() >= kRateFrames || std::chrono::steady_clock::now() >= deadline) break;
    g_usleep(2000);
  }
  std::sort(pts.begin(), pts.end());
  if (pts.size() < 3 || pts.back() <= pts.front()) return;  // a still picture or a very short file
  const double measured = double(pts.size() - 1) * double(GST_SECOND) / double(pts.back() - pts.front());
  const double named = double(fpsN_) / double(fpsD_);
  if (std::abs(measured - named) <= named * 0.02) return;
  // Millisecond timestamps (ASF) make 30 frames a second 30.04: whole rates are taken whole.
  if (std::abs(measured - std::round(measured)) <= measured * 0.01) {
    fpsN_ = int(std::round(measured));
    fpsD_ = 1;
  } else {
    gst_util_double_to_fraction(measured, &fpsN_, &fpsD_);
  }
}

GstClockTime PlaybackGraph::ToTime(std::int64_t units) const {
  if (FrameFormat()) {
    if (units <= 0) return originNs_;
    // A file keeps its frames' times in its own units: ASF and Matroska in whole milliseconds, cut
    // down from where the frame was taken, so at 30 frames a second frame 59 may start at 1.966 s
    // or 1.999 s and not at 59/30 s. A seek to the exact time would land after such a frame, and
    // after the last one there is none. An eighth of a frame earlier is before every rounding of a
    // frame's start and still well inside the frame before, whose tail the seek brings along and
    // OnVideoData drops.
    const GstClockTime exact = gst_util_uint64_scale(guint64(units), GST_SECOND * guint64(fpsD_), guint64(fpsN_));
    return originNs_ + exact - frameNs_.load() / 8;
  }
  return units <= 0 ? 0 : GstClockTime(units) * kUnitNs;
}

std::int64_t PlaybackGraph::FromTime(GstClockTime t) const {
  if (!GST_CLOCK_TIME_IS_VALID(t)) return 0;
  if (FrameFormat()) {
    // Frames start at whole multiples of the frame time after the first: the nearest frame is the
    // one meant.
    if (t <= originNs_) return 0;
    return std::int64_t(gst_util_uint64_scale_round(t - originNs_, guint64(fpsN_), GST_SECOND * guint64(fpsD_)));
  }
  return std::int64_t(t / kUnitNs);
}

bool PlaybackGraph::PositionNs(GstClockTime* t) const {
  gint64 position = -1;
  if (!graph_.Exists()) return false;
  if (!gst_element_query_position(graph_.Pipeline(), GST_FORMAT_TIME, &position) || position < 0) {
    // A paused graph answers no position until the frame a seek went to reaches every sink, a
    // while after the picture already shows it: the seek's own target is the position then.
    if (!GST_CLOCK_TIME_IS_VALID(seekNs_)) return false;
    *t = seekNs_;
    return true;
  }
  *t = GstClockTime(position);
  return true;
}

bool PlaybackGraph::CanSeekAbsolute() const {
  if (!graph_.Exists()) return false;
  GstQuery* query = gst_query_new_seeking(GST_FORMAT_TIME);
  gboolean seekable = FALSE;
  if (gst_element_query(graph_.Pipeline(), query)) gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
  gst_query_unref(query);
  return seekable;
}

HRESULT PlaybackGraph::Seek(GstClockTime start, std::optional<GstClockTime> stop) {
  if (!graph_.Exists()) return com::E_FAIL;
  if (stop) stopNs_ = *stop;
  const GstSeekType stopType = GST_CLOCK_TIME_IS_VALID(stopNs_) ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_END;
  const gint64 stopValue = GST_CLOCK_TIME_IS_VALID(stopNs_) ? gint64(stopNs_) : 0;
  const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
  if (!gst_element_seek(graph_.Pipeline(), rate_, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, gint64(start), stopType,
                        stopValue))
    return com::E_INVALIDARG;
  seekNs_ = start;
  return com::S_OK;
}

void PlaybackGraph::SetRate(double rate) { rate_ = rate; }

HRESULT PlaybackGraph::Run() {
  if (!graph_.Exists()) return com::E_FAIL;
  return gst_element_set_state(graph_.Pipeline(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE
             ? com::VFW_E_RUNTIME_ERROR
             : com::S_OK;
}

HRESULT PlaybackGraph::Pause() {
  if (!graph_.Exists()) return com::E_FAIL;
  return gst_element_set_state(graph_.Pipeline(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE
             ? com::VFW_E_RUNTIME_ERROR
             : com::S_OK;
}

}  // namespace capture
