#pragma once
// The playback graph: a recorded file decoded into the mixing renderer and, when asked for, the
// sample grabber (stills, the host's frame callback); its sound goes to the default audio sink,
// and stays silent when the machine has none. Both video sinks run on the pipeline clock and take
// the frame a pause or a seek prerolls.
//
//   uridecodebin "SOURCE" -> tee -> queue -> videoconvert -> renderer "VMR"
//                                -> queue -> videoconvert -> grabber "Grabber"
//                         -> audioconvert -> audioresample -> "Audio Renderer"
//
// Positions cross in the graph's time format: frames when the file's video has a fixed frame
// rate (frame n starts about n / rate after the first frame: a file may round its times), else
// 100-ns units.
#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/graph_owner.h"
#include "engine/gst_ptr.h"
#include "engine/media_type.h"
#include "engine/video_window.h"

namespace capture {

class VideoRenderer;

class PlaybackGraph {
 public:
  // Builds into `graph` and draws into `window` (both outlive it).
  PlaybackGraph(GraphOwner& graph, IVideoWindow* window) : graph_(graph), window_(window) {}
  ~PlaybackGraph();
  PlaybackGraph(const PlaybackGraph&) = delete;
  PlaybackGraph& operator=(const PlaybackGraph&) = delete;

  // The renderer and, with `withGrabber`, the grabber taking `grabberSubtype`.
  HRESULT Build(bool withGrabber, const Guid& grabberSubtype);
  // Adds the file as source and prerolls the graph paused on its first frame. A file without a
  // video frame is refused (VFW_E_NOT_CONNECTED).
  HRESULT Open(const std::string& fileName);

  bool FrameFormat() const { return fpsN_ > 0; }
  // The file's frame time in 100-ns units; 0 without a fixed frame rate.
  std::int64_t FrameTime() const {
    return FrameFormat() ? std::int64_t(gst_util_uint64_scale(10000000, guint64(fpsD_), guint64(fpsN_))) : 0;
  }
  // Length in the time format (frames or 100-ns units).
  std::int64_t Duration() const { return FromTime(durationNs_); }
  GstClockTime DurationNs() const { return durationNs_; }
  // Time format units to stream time and back: a frame number to the time a seek to that frame
  // goes to (just before the frame's start), a time to the frame nearest to it.
  GstClockTime ToTime(std::int64_t units) const;
  std::int64_t FromTime(GstClockTime t) const;

  // The current position in stream time: while a seek is still settling (the graph cannot tell
  // yet), where that seek goes; false when nothing is known.
  bool PositionNs(GstClockTime* t) const;
  bool CanSeekAbsolute() const;
  // A flushing, frame-exact seek at the stored rate. `stop`: nullopt keeps the segment's end,
  // GST_CLOCK_TIME_NONE plays to the end of the file.
  HRESULT Seek(GstClockTime start, std::optional<GstClockTime> stop);
  // The rate the next seek gives the graph.
  void SetRate(double rate);
  double Rate() const { return rate_; }
  HRESULT Run();
  HRESULT Pause();

  GstElement* Grabber() const { return grabber_.get(); }
  VideoRenderer* Renderer() const;

 private:
  static void OnPadAdded(GstElement* source, GstPad* pad, gpointer self);
  static void OnNoMorePads(GstElement* source, gpointer self);
  static GstPadProbeReturn OnVideoData(GstPad* pad, GstPadProbeInfo* info, gpointer self);
  HRESULT AddBranch(const char* queueName, const char* converterName, GstElement* sink);
  // Adds a new element to the graph (borrowed: the bin holds it).
  GstElement* AddVideoElement(const char* factory, const char* name);
  void LinkAudio(GstPad* pad);  // streaming thread
  HRESULT WaitForPreroll(std::chrono::milliseconds timeout);
  // The rate the first frames' timestamps give, when the stream's caps name another.
  void TakeRateFromTimestamps();

  GraphOwner& graph_;
  IVideoWindow* window_;
  // Freed in reverse order of taking.
  ElementPtr renderer_;
  ElementPtr grabber_;
  ElementPtr tee_;
  ElementPtr source_;

  GstClockTime durationNs_ = 0;
  int fpsN_ = 0, fpsD_ = 1;
  GstClockTime originNs_ = 0;  // where the first frame starts (frame format)
  double rate_ = 1.0;
  GstClockTime stopNs_ = GST_CLOCK_TIME_NONE;  // the segment's end as last set
  GstClockTime seekNs_ = GST_CLOCK_TIME_NONE;  // where the last seek went

  // Shared with the streaming threads while the file opens.
  std::mutex mutex_;
  bool videoLinked_ = false;
  bool audioLinked_ = false;
  std::atomic<bool> noMorePads_{false};
  std::atomic<bool> videoFrame_{false};  // one came out of the decoder
  CapsPtr videoCaps_;
  std::vector<GstClockTime> firstPts_;  // of the first decoded frames
  // The file's frame time once known; a frame that ends less than half of it after the segment's
  // start belongs before the seek's target and is not passed on (a decoder that assumes a slower
  // rate gives the frames too long a duration, and the previous frame would show).
  std::atomic<GstClockTime> frameNs_{0};
  GstClockTime segmentStart_ = 0;  // streaming thread
};

}  // namespace capture
