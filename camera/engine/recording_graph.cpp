#include "engine/recording_graph.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <glib/gstdio.h>

#include "engine/asf_packets.h"
#include "engine/avi_header.h"
#include "engine/compressor_check.h"
#include "engine/compressor.h"
#include "engine/gst_errors.h"
#include "engine/live_graph.h"

namespace capture {

namespace {

// The ASF encoders' bit rates, and how many frames the branch's queue holds for a slow encoder.
constexpr int kAsfVideoBitRate = 2000000;
constexpr int kAsfAudioBitRate = 128000;
constexpr guint kQueueFrames = 60;

// A stream on its way into the file: the segment it came with, and the gate (null for an
// encoder's output, which is only put back on running time).
struct StreamTime {
  GstSegment segment;
  RecordingGraph::Gate* gate = nullptr;
};

// Every buffer leaves on file time (or running time without a gate) under a segment from zero:
// the multiplexers write what they are given, and some encoders move their output far ahead.
GstPadProbeReturn OnStream(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* st = static_cast<StreamTime*>(data);
  if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT) return GST_PAD_PROBE_OK;
    const GstSegment* in = nullptr;
    gst_event_parse_segment(event, &in);
    gst_segment_copy_into(in, &st->segment);
    GstSegment zero;
    gst_segment_init(&zero, GST_FORMAT_TIME);
    GstEvent* out = gst_event_new_segment(&zero);
    gst_event_set_seqnum(out, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = out;
    return GST_PAD_PROBE_OK;
  }
  if (!(info->type & GST_PAD_PROBE_TYPE_BUFFER)) return GST_PAD_PROBE_OK;
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  const GstClockTime pts = gst_segment_to_running_time(&st->segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
  GstClockTime fileTime = pts;
  if (st->gate && (!GST_CLOCK_TIME_IS_VALID(pts) || !st->gate->Accept(pts, &fileTime))) return GST_PAD_PROBE_DROP;
  const GstClockTimeDiff shift = GST_CLOCK_TIME_IS_VALID(pts) ? GstClockTimeDiff(pts) - GstClockTimeDiff(fileTime) : 0;
  buffer = gst_buffer_make_writable(buffer);
  GST_BUFFER_PTS(buffer) = fileTime;
  if (GST_BUFFER_DTS_IS_VALID(buffer)) {
    const GstClockTime dts = gst_segment_to_running_time(&st->segment, GST_FORMAT_TIME, GST_BUFFER_DTS(buffer));
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_IS_VALID(dts) && GstClockTimeDiff(dts) >= shift ? dts - shift
                                                                                          : GST_CLOCK_TIME_NONE;
  }
  GST_PAD_PROBE_INFO_DATA(info) = buffer;
  return GST_PAD_PROBE_OK;
}

void WatchStream(GstPad* pad, RecordingGraph::Gate* gate) {
  auto* st = new StreamTime;
  gst_segment_init(&st->segment, GST_FORMAT_TIME);
  st->gate = gate;
  gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM), OnStream,
                    st, [](gpointer p) { delete static_cast<StreamTime*>(p); });
}

void WatchElementOutput(GstElement* element, RecordingGraph::Gate* gate) {
  PadPtr pad = Adopt(gst_element_get_static_pad(element, "src"));
  if (pad) WatchStream(pad.get(), gate);
}

// Unlinks `upstream` from the branch's `entry` at a buffer boundary, then ends the branch's
// stream there: the rest of the graph runs on while the multiplexer finishes.
void DrainFrom(GstPad* upstream, GstPad* entry) {
  gst_pad_add_probe(
      upstream, GST_PAD_PROBE_TYPE_IDLE,
      [](GstPad* pad, GstPadProbeInfo*, gpointer sinkPad) -> GstPadProbeReturn {
        gst_pad_unlink(pad, GST_PAD(sinkPad));
        gst_pad_send_event(GST_PAD(sinkPad), gst_event_new_eos());
        return GST_PAD_PROBE_REMOVE;
      },
      gst_object_ref(entry), gst_object_unref);
}

void UnlinkIfLinked(GstPad* upstream, GstElement* bin, const char* entryName) {
  PadPtr entry = Adopt(gst_element_get_static_pad(bin, entryName));
  if (upstream && entry && gst_pad_is_linked(entry.get())) gst_pad_unlink(upstream, entry.get());
}

}  // namespace

bool IsAviFileName(const std::string& file) {
  if (file.size() < 4) return false;
  std::string ext = file.substr(file.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".avi";
}

bool RecordingGraph::Gate::Accept(GstClockTime runningTime, GstClockTime* fileTime) {
  std::lock_guard lock(mutex);
  if (finished || failed || runningTime < stretchStart) return false;
  if (GST_CLOCK_TIME_IS_VALID(stretchEnd) ? runningTime >= stretchEnd : !open) return false;
  *fileTime = GstClockTime(GstClockTimeDiff(runningTime) - shift);
  return true;
}

RecordingGraph::~RecordingGraph() {
  if (bin_) Finish(std::chrono::milliseconds(0));
}

HRESULT RecordingGraph::Build(const RecordingSetup& setup) {
  if (!tee_ || bin_) return com::E_FAIL;
  const bool avi = IsAviFileName(setup.file);
  format_ = setup.audioFormat;
  rawAviFile_ = avi && !setup.compressor ? setup.file : std::string();
  aviFile_ = avi ? setup.file : std::string();
  file_ = setup.file;
  bin_ = Sink(gst_bin_new("Recording"));
  binObject_ = bin_.get();
  g_object_set(bin_.get(), "message-forward", TRUE, nullptr);
  ElementPtr mux = Ref(MakeElement(avi ? "avimux" : "asfmux", "Mux"));
  sink_ = Sink(MakeElement("filesink", "File Writer"));
  if (!mux || !sink_) return com::REGDB_E_CLASSNOTREG;
  // No preroll: the blocked branch sees no buffer before the first start.
  g_object_set(sink_.get(), "location", setup.file.c_str(), "async", FALSE, nullptr);
  if (!AddChain(GST_BIN(bin_.get()), {mux.get(), sink_.get()})) return com::VFW_E_CANNOT_CONNECT;
  HRESULT result = AddVideo(setup, avi, mux.get());
  if (Succeeded(result) && (setup.audioDevice || setup.audioPad)) result = AddAudio(setup, avi, mux.get());
  if (Failed(result)) return result;

  gst_bin_add(graph_.Bin(), bin_.get());
  teePad_ = Adopt(gst_element_request_pad_simple(tee_, "src_%u"));
  if (!teePad_) return com::VFW_E_CANNOT_CONNECT;
  WatchStream(teePad_.get(), &gate_);
  if (!gst_element_sync_state_with_parent(bin_.get())) return Failed(graph_.StreamError()) ? graph_.StreamError() : com::E_FAIL;
  if (audioPad_) {
    PadPtr audio = Adopt(gst_element_get_static_pad(bin_.get(), "audio"));
    const HRESULT linked = HResultFromLinkReturn(gst_pad_link(audioPad_.get(), audio.get()));
    if (Failed(linked)) return linked;
  }
  PadPtr sink = Adopt(gst_element_get_static_pad(bin_.get(), "sink"));
  // The branch takes no part in the live picture's allocation: its queue would hold the query
  // until the file caught up, and the camera's thread (which may carry the sound too) would wait.
  gst_pad_add_probe(sink.get(), GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, [](GstPad*, GstPadProbeInfo* info, gpointer) {
    return GST_QUERY_TYPE(GST_PAD_PROBE_INFO_QUERY(info)) == GST_QUERY_ALLOCATION ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
  }, nullptr, nullptr);
  return HResultFromLinkReturn(gst_pad_link(teePad_.get(), sink.get()));
}

HRESULT RecordingGraph::AddVideo(const RecordingSetup& setup, bool avi, GstElement* mux) {
  GstBin* bin = GST_BIN(bin_.get());
  queue_ = Sink(MakeElement("queue", "Recording Queue"));
  GstElement* convert = MakeElement("videoconvert", "Recording Converter");
  if (!queue_ || !convert) return com::REGDB_E_CLASSNOTREG;
  // A file that cannot keep up loses its oldest frames, never the camera's pace; the drops count.
  g_object_set(queue_.get(), "leaky", 2, "max-size-buffers", kQueueFrames, "max-size-bytes", 0u, "max-size-time",
               guint64(0), nullptr);
  PadPtr in = Adopt(gst_element_get_static_pad(queue_.get(), "sink"));
  PadPtr out = Adopt(gst_element_get_static_pad(queue_.get(), "src"));
  gst_pad_add_probe(in.get(), GST_PAD_PROBE_TYPE_BUFFER, [](GstPad*, GstPadProbeInfo*, gpointer n) {
    ++*static_cast<std::atomic<std::int64_t>*>(n);
    return GST_PAD_PROBE_OK;
  }, &queued_, nullptr);
  gst_pad_add_probe(out.get(), GST_PAD_PROBE_TYPE_BUFFER, [](GstPad*, GstPadProbeInfo*, gpointer n) {
    ++*static_cast<std::atomic<std::int64_t>*>(n);
    return GST_PAD_PROBE_OK;
  }, &passed_, nullptr);

  GstElement* encoder = nullptr;
  GstElement* format = nullptr;
  if (!avi) {
    // The fixed stand-in for the system profile: Windows Media Video 8.
    encoder = MakeElement("avenc_wmv2", "Video Compressor");
    if (encoder) g_object_set(encoder, "bitrate", gint64(kAsfVideoBitRate), nullptr);
  } else if (setup.compressor) {
    encoder = gst_element_factory_create(setup.compressor, "Video Compressor");
    if (encoder) format = I420FormatFor(setup.compressor);
  }
  if ((avi && setup.compressor) || !avi) {
    if (!encoder) return com::REGDB_E_CLASSNOTREG;
    compressor_ = Ref(encoder);
  }
  bool linked = false;
  if (format) linked = AddChain(bin, {queue_.get(), convert, format, encoder, mux});
  else if (encoder) linked = AddChain(bin, {queue_.get(), convert, encoder, mux});
  else linked = AddChain(bin, {queue_.get(), convert, mux});
  if (!linked) return com::VFW_E_CANNOT_CONNECT;
  // The host's settings, while the encoder has not started (the caller checked the values).
  if (setup.compressor) {
    CompressorSettings settings(encoder);
    for (const auto& [capability, value] : setup.compressorSettings) settings.Apply(capability, value);
  }
  // The branch's entry, once the queue is a child of the bin it leads into.
  gst_element_add_pad(bin_.get(), gst_ghost_pad_new("sink", in.get()));
  if (encoder && g_str_has_prefix(GST_OBJECT_NAME(gst_element_get_factory(encoder)), "avenc_"))
    WatchElementOutput(encoder, nullptr);  // these encoders move their output 1000 hours ahead
  return com::S_OK;
}

GstCaps* RecordingGraph::AudioCaps() const {
  return gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, format_.bytesPerSample == 1 ? "U8" : "S16LE",
                             "layout", G_TYPE_STRING, "interleaved", "channels", G_TYPE_INT, format_.channels, "rate",
                             G_TYPE_INT, format_.samplesPerSec, nullptr);
}

HRESULT RecordingGraph::AddAudio(const RecordingSetup& setup, bool avi, GstElement* mux) {
  GstBin* bin = GST_BIN(bin_.get());
  lines_.clear();
  gchar* name = nullptr;
  if (setup.audioPad) {
    // The graph's own sound: its element stands as the audio input, with one line.
    audioPad_ = Ref(setup.audioPad);
    audioSource_ = Adopt(gst_pad_get_parent_element(setup.audioPad));
    name = audioSource_ ? gst_object_get_name(GST_OBJECT(audioSource_.get())) : nullptr;
  } else {
    name = gst_device_get_display_name(setup.audioDevice);
    audioSource_ = Sink(gst_device_create_element(setup.audioDevice, name));
  }
  // The input lines a device names in its properties; otherwise its one line is the device.
  if (GstStructure* props = setup.audioPad ? nullptr : gst_device_get_properties(setup.audioDevice)) {
    if (const char* lines = gst_structure_get_string(props, "device.input-lines")) {
      gchar** names = g_strsplit(lines, "|", -1);
      for (gchar** n = names; *n; ++n) lines_.push_back(QString::fromUtf8(*n));
      g_strfreev(names);
    }
    gst_structure_free(props);
  }
  if (lines_.empty()) lines_.push_back(QString::fromUtf8(name ? name : ""));
  enabledLine_ = 0;
  g_free(name);
  if (!audioSource_) return com::E_FAIL;
  audioCaps_ = Sink(MakeElement("capsfilter", "Audio Format"));
  GstElement* convert = MakeElement("audioconvert", "Audio Converter");
  GstElement* resample = MakeElement("audioresample", "Audio Resampler");
  GstElement* queue = MakeElement("queue", "Audio Queue");
  if (!audioCaps_) return com::REGDB_E_CLASSNOTREG;
  GstCaps* caps = AudioCaps();
  g_object_set(audioCaps_.get(), "caps", caps, nullptr);
  gst_caps_unref(caps);
  // A device's source starts the chain inside the branch, its queue in front of the multiplexer.
  // The graph's own sound enters through the queue: the thread that delivers it also delivers the
  // picture, and must never wait for the multiplexer, which waits for both.
  std::vector<GstElement*> chain{convert, resample, audioCaps_.get()};
  chain.insert(chain.begin(), audioPad_ ? queue : audioSource_.get());
  GstElement* encoder = nullptr;
  if (!avi) {
    chain.push_back(MakeElement("audioconvert", "Audio Encoder Converter"));
    chain.push_back(encoder = MakeElement("avenc_wmav2", "Audio Compressor"));
    if (encoder) g_object_set(encoder, "bitrate", gint64(kAsfAudioBitRate), nullptr);
  }
  if (!audioPad_) chain.push_back(queue);
  chain.push_back(mux);
  const bool linked = AddChain(bin, chain);
  if (linked && encoder) WatchElementOutput(encoder, nullptr);
  if (!linked) return com::VFW_E_CANNOT_CONNECT;
  if (!audioPad_) {
    WatchElementOutput(audioSource_.get(), &gate_);
    return com::S_OK;
  }
  PadPtr entry = Adopt(gst_element_get_static_pad(queue, "sink"));
  GstPad* ghost = gst_ghost_pad_new("audio", entry.get());
  WatchStream(ghost, &gate_);
  gst_element_add_pad(bin_.get(), ghost);
  return com::S_OK;
}

HRESULT RecordingGraph::Start() {
  if (!bin_) return com::E_FAIL;
  const GstClockTime now = graph_.RunningTime();
  std::lock_guard lock(gate_.mutex);
  if (gate_.open) return com::S_OK;
  gate_.stretchStart = now;
  gate_.stretchEnd = GST_CLOCK_TIME_NONE;
  gate_.shift = GstClockTimeDiff(now) - GstClockTimeDiff(gate_.written);
  gate_.open = true;
  gate_.started = true;
  return com::S_OK;
}

bool RecordingGraph::EverStarted() const {
  auto& gate = const_cast<Gate&>(gate_);
  std::lock_guard lock(gate.mutex);
  return gate.started;
}

HRESULT RecordingGraph::Stop() {
  if (!bin_) return com::E_FAIL;
  const GstClockTime now = graph_.RunningTime();
  std::lock_guard lock(gate_.mutex);
  if (!gate_.open) return com::S_OK;
  gate_.stretchEnd = now;
  gate_.written = GstClockTime(GstClockTimeDiff(now) - gate_.shift);
  gate_.open = false;
  return com::S_OK;
}

bool RecordingGraph::Recording() const {
  auto& gate = const_cast<Gate&>(gate_);
  std::lock_guard lock(gate.mutex);
  return gate.open;
}

HRESULT RecordingGraph::Finish(std::chrono::milliseconds timeout) {
  if (!bin_) return com::S_OK;
  bool failedBefore = false;
  {
    std::lock_guard lock(gate_.mutex);
    gate_.finished = true;
    gate_.open = false;
    failedBefore = gate_.failed;
  }
  bool ended = false, waited = false;
  PadPtr sink = Adopt(gst_element_get_static_pad(bin_.get(), "sink"));
  // A branch that failed has nobody left to write its end.
  if (!failedBefore && teePad_ && GST_OBJECT_PARENT(bin_.get()) && GST_STATE(bin_.get()) == GST_STATE_PLAYING &&
      timeout.count() > 0) {
    // Off the tee at a buffer boundary, then the end of stream into the branch alone: the live
    // picture runs on while the multiplexer writes its header and index.
    DrainFrom(teePad_.get(), sink.get());
    if (audioPad_) {
      PadPtr audio = Adopt(gst_element_get_static_pad(bin_.get(), "audio"));
      DrainFrom(audioPad_.get(), audio.get());
    } else if (audioSource_) {
      gst_element_send_event(audioSource_.get(), gst_event_new_eos());
    }
    ended = graph_.WaitForEos(sink_.get(), timeout);
    waited = true;
  }
  // What the branch reports from here on comes of its being taken down (the file writer refuses
  // the multiplexer's last writes as the branch stops), not of the file: it is the branch's, and
  // no failure.
  takenDown_ = true;
  UnlinkIfLinked(teePad_.get(), bin_.get(), "sink");
  UnlinkIfLinked(audioPad_.get(), bin_.get(), "audio");
  gst_element_set_state(bin_.get(), GST_STATE_NULL);
  if (GST_OBJECT_PARENT(bin_.get())) gst_bin_remove(graph_.Bin(), bin_.get());
  if (teePad_) gst_element_release_request_pad(tee_, teePad_.get());
  sink_.reset();
  audioCaps_.reset();
  audioSource_.reset();
  compressor_.reset();
  queue_.reset();
  audioPad_.reset();
  teePad_.reset();
  binObject_ = nullptr;
  bin_.reset();
  const HRESULT failure = failure_.load();
  // A file whose end did not come in time has neither header lengths nor index that match its
  // frames: it is closed over what it holds, as one whose writing failed.
  const bool cut = Failed(failure) || (waited && !ended);
  if (cut && !aviFile_.empty()) CloseCutAvi(aviFile_);
  if (cut && aviFile_.empty()) CloseCutAsf(file_);
  if (!rawAviFile_.empty() && (ended || cut)) FixRawImageSize(rawAviFile_);
  if ((ended || cut) && aviFile_.empty()) FixAsfPacketLengths(file_);
  if (Failed(failure)) return failedBefore ? com::S_OK : failure;
  return ended || timeout.count() == 0 ? com::S_OK : com::VFW_E_TIMEOUT;
}

bool RecordingGraph::OnError(GstMessage* message) {
  const void* bin = binObject_.load();
  bool inside = false;
  for (GstObject* o = GST_MESSAGE_SRC(message); o && bin && !inside; o = GST_OBJECT_PARENT(o)) inside = o == bin;
  if (!inside) return false;
  if (takenDown_) return true;
  {
    // Closed before the failure travels back up the branch: the tee's next frame is dropped at
    // the branch's entry instead of stopping the camera.
    std::lock_guard lock(gate_.mutex);
    gate_.failed = true;
  }
  HRESULT none = com::S_OK;
  failure_.compare_exchange_strong(none, HResultFromGstMessage(message));
  return true;
}

HRESULT RecordingGraph::SetAudioFormat(const AudioFormat& format) {
  if (!audioCaps_) return com::E_FAIL;
  format_ = format;
  GstCaps* caps = AudioCaps();
  g_object_set(audioCaps_.get(), "caps", caps, nullptr);
  gst_caps_unref(caps);
  return com::S_OK;
}

HRESULT RecordingGraph::EnableLine(int line) {
  if (!audioSource_) return com::E_FAIL;
  if (line < 0 || line >= int(lines_.size())) return com::E_INVALIDARG;
  enabledLine_ = line;
  return com::S_OK;
}

std::int64_t RecordingGraph::QueuedFrames() const {
  guint level = 0;
  if (queue_) g_object_get(queue_.get(), "current-level-buffers", &level, nullptr);
  return std::int64_t(level);
}

std::int32_t RecordingGraph::Dropped() const {
  std::int64_t lost = queued_.load() - passed_.load() - QueuedFrames();
  std::lock_guard lock(qosMutex_);
  for (const auto& [source, dropped] : qosDropped_) lost += std::int64_t(dropped);
  return std::int32_t(std::max<std::int64_t>(lost, 0));
}

// The frames waiting in the branch's queue (with sound the multiplexer holds them back to
// interleave) reach the file too.
std::int32_t RecordingGraph::NotDropped() const { return std::int32_t(passed_.load() + QueuedFrames()); }

void RecordingGraph::OnQos(GstMessage* message) {
  const void* bin = binObject_.load();
  bool inside = false;
  for (GstObject* o = GST_MESSAGE_SRC(message); o && !inside; o = GST_OBJECT_PARENT(o)) inside = o == bin;
  if (!bin || !inside) return;
  GstFormat format;
  guint64 processed = 0, dropped = 0;
  gst_message_parse_qos_stats(message, &format, &processed, &dropped);
  if (format != GST_FORMAT_BUFFERS && format != GST_FORMAT_DEFAULT) return;
  std::lock_guard lock(qosMutex_);
  qosDropped_[GST_MESSAGE_SRC(message)] = dropped;  // the element's count so far
}

}  // namespace capture
