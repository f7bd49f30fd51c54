#pragma once
// The sample grabber: an appsink that keeps the newest sample of its branch and can hand every
// sample to a callback. Its buffer is laid out as hosts expect a grabber's buffer: uncompressed
// RGB rows bottom-up and padded to 32 bits; other formats as GStreamer delivers them.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/media_type.h"

namespace capture {

// The control that fires SGCallBack; implemented by the control class.
class IOrnikEventSink {
 public:
  // Called on a streaming thread; `buffer` is valid only during the call.
  virtual void FireSGCallBack(std::uint8_t* buffer, std::int32_t size) = 0;

 protected:
  ~IOrnikEventSink() = default;
};

// The grabber callback of one engine: passes each buffer on as SGCallBack of the control it
// was given. Every engine has its own, so controls never receive each other's frames.
class CGrabberCallback {
 public:
  void SetControl(IOrnikEventSink* control) { control_.store(control); }
  IOrnikEventSink* Control() const { return control_.load(); }
  HRESULT SampleCB(double sampleTime, GstSample* sample);
  HRESULT BufferCB(double sampleTime, std::uint8_t* buffer, std::int32_t size);

 private:
  std::atomic<IOrnikEventSink*> control_{nullptr};
};

// Converts raw frames to one format. The converter and its output block are kept while the
// input format stays the same.
class FrameConverter {
 public:
  // `threads`: the threads one frame's conversion is shared among.
  explicit FrameConverter(unsigned threads = 1) : threads_(threads) {}
  ~FrameConverter();
  FrameConverter(const FrameConverter&) = delete;
  FrameConverter& operator=(const FrameConverter&) = delete;

  // The frame of `sample` in `format` (the sample itself when it has that format already),
  // held by the converter until its next call or its end; null when the frame cannot be
  // converted.
  GstSample* Convert(GstSample* sample, GstVideoFormat format);
  // The frame the last call gave; null when it gave none.
  GstSample* Held() const { return result_; }

 private:
  void Release();

  unsigned threads_;
  GstCaps* inCaps_ = nullptr;
  GstVideoFormat format_ = GST_VIDEO_FORMAT_UNKNOWN;
  GstVideoConverter* converter_ = nullptr;
  GstVideoInfo in_{}, out_{};
  GstCaps* outCaps_ = nullptr;
  std::vector<std::uint8_t> pixels_;
  GstSample* result_ = nullptr;
};

// The caps of a frame of `caps` converted to `format` (the colour description of the target's own
// kind, as a converter element would choose it). Caller owns the result.
GstCaps* ConvertedCaps(GstCaps* caps, GstVideoFormat format);

class SampleGrabber {
 public:
  // A new grabber element (floating), or null when appsink is missing.
  static GstElement* Create(const char* name);
  // The grabber behind an element; null when the element is no grabber.
  static SampleGrabber* FromElement(GstElement* element);
  // Played files: samples pass on the pipeline clock, and the sample a pause or a seek prerolls
  // is taken too. The callback gets each frame once: not again when the graph runs on from the
  // frame it prerolled, nor when a pause or a seek prerolls the frame it had last (the rewind to a
  // part's last frame, a pause and a seek in a row on a busy machine).
  static void SyncToClock(GstElement* element);
  // The grabber takes raw frames in whatever format they come and converts a frame to its media
  // type only when somebody needs it: the newest frame when the current buffer is asked for, and
  // every frame while a buffer callback is installed. The connected type is the converted one.
  // The branch in front of such a grabber needs no converter of its own.
  static void ConvertOnDemand(GstElement* element);

  // The type the grabber accepts; a subtype it has no format for accepts any video.
  HRESULT SetMediaType(const MediaType& mt);
  // The type negotiated on its input; VFW_E_NOT_CONNECTED before any.
  HRESULT GetConnectedMediaType(MediaType* mt) const;
  HRESULT SetBufferSamples(bool on);
  HRESULT SetOneShot(bool on);
  // Copies the newest sample. buffer null: *size receives the bytes needed. E_INVALIDARG when
  // samples are not buffered, VFW_E_WRONG_STATE before the first sample, E_OUTOFMEMORY when
  // *size is too small; on success *size holds the bytes copied.
  HRESULT GetCurrentBuffer(std::int32_t* size, void* buffer) const;
  // whichMethod 0: SampleCB, 1: BufferCB; a null callback removes it.
  HRESULT SetCallback(CGrabberCallback* callback, int whichMethod);

  // Called on the streaming thread after each sample was taken (the engine waits on it).
  void SetSampleListener(std::function<void()> listener);
  std::uint64_t SamplesSeen() const { return samples_.load(); }

 private:
  explicit SampleGrabber(GstElement* sink);
  ~SampleGrabber();
  static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer self);
  static GstFlowReturn OnNewPreroll(GstAppSink* sink, gpointer self);
  // `toCallback` false: the frame is kept (and counted) but not handed to the callback again.
  GstFlowReturn TakeSample(GstSample* sample, bool toCallback = true);
  // A played frame with the timestamp of the one taken last (mutex_ held).
  bool SameAsLast(const GstBuffer* buffer) const;
  // A still waits for its conversion: it is shared among a few of the machine's cores.
  static unsigned DemandThreads();
  // The element's caps for the media type and the mode (mutex_ held).
  void ApplyCaps();
  // The format frames are converted to; UNKNOWN when they are taken as they come (mutex_ held).
  GstVideoFormat TargetFormat() const { return onDemand_ ? wanted_ : GST_VIDEO_FORMAT_UNKNOWN; }

  GstElement* sink_;  // not owned: the grabber lives inside its element
  mutable std::mutex mutex_;
  GstSample* current_ = nullptr;
  std::uint64_t currentSerial_ = 0;       // counts the samples kept in current_
  GstCaps* mediaCaps_ = nullptr;          // what SetMediaType asked for
  GstVideoFormat wanted_ = GST_VIDEO_FORMAT_UNKNOWN;  // its raw format, if any
  bool onDemand_ = false;
  bool buffering_ = false;
  bool oneShot_ = false;
  bool shotTaken_ = false;
  const GstBuffer* prerolled_ = nullptr;  // compared, never used: the preroll already taken
  bool played_ = false;                    // on the clock of a played file
  GstClockTime lastTaken_ = GST_CLOCK_TIME_NONE;  // the timestamp of the played frame taken last
  CGrabberCallback* callback_ = nullptr;
  int whichMethod_ = 0;
  std::vector<std::uint8_t> scratch_;  // BufferCB copy, streaming thread only
  FrameConverter streamConverter_;      // the callback's frames, streaming thread only
  mutable std::mutex demandMutex_;      // guards the two below; taken after mutex_ is released
  mutable FrameConverter demandConverter_{DemandThreads()};
  mutable std::uint64_t demandSerial_ = 0;  // the sample demandConverter_ holds (0: none)
  std::function<void()> listener_;
  std::atomic<std::uint64_t> samples_{0};
};

// Copies a video sample into the grabber layout; returns the bytes that layout needs (0 when the
// sample is no video); copies only when `dst` holds at least that many.
std::size_t CopySampleToGrabberLayout(GstSample* sample, std::uint8_t* dst, std::size_t dstSize);

// The helpers the graph builders use. A null filter gives E_FAIL, an element that is no grabber
// E_NOINTERFACE; otherwise the grabber call's result.
HRESULT CreateSampleGrabber(GstElement** filter);
HRESULT ConfigureGrabber(GstElement* filter, const MediaType& mt);
HRESULT GetGrabberConnectedType(GstElement* filter, MediaType* mt);
HRESULT GetGrabberBuffer(GstElement* filter, std::int32_t* size, void* buffer);
HRESULT SetGrabberBuffering(GstElement* filter, bool on);
HRESULT SetGrabberOneShot(GstElement* filter, bool on);
HRESULT SetGrabberCallback(GstElement* filter, CGrabberCallback& callback, IOrnikEventSink* control);

}  // namespace capture
