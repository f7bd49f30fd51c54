#pragma once
// The two lists the host picks from by position: video input devices (every device GStreamer's
// device monitor reports as "Video/Source", real V4L2 cameras through v4l2src) and video
// compressors (the video encoder factories, sorted by factory name). Every call asks GStreamer
// afresh; only the compressor trial's answer is kept, for the encoders and format it was made at.
#include <gst/gst.h>

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace capture {

// Owns the references of a device list.
class DeviceList {
 public:
  // The devices of a class now present: video input devices, or audio input devices
  // ("Audio/Source", monitors of outputs left out).
  explicit DeviceList(const char* deviceClass = "Video/Source");
  ~DeviceList();
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;
  int Count() const { return static_cast<int>(devices_.size()); }
  GstDevice* At(int index) const;  // null when out of range; borrowed
  QString Name(int index) const;   // empty when out of range

 private:
  std::vector<GstDevice*> devices_;
};

// The encoders a recording can use: those whose output the AVI multiplexer takes and that record
// video of `format` (the live graph's; null: the preview format) into a file that the control
// plays back and takes stills from. The trial at a format runs once for the encoders there are
// (the first list at a format waits for it, or for the one running); an encoder installed or
// removed makes the next list try again.
class CompressorList {
 public:
  explicit CompressorList(const GstCaps* format = nullptr);
  ~CompressorList();
  CompressorList(const CompressorList&) = delete;
  CompressorList& operator=(const CompressorList&) = delete;
  int Count() const { return static_cast<int>(factories_.size()); }
  GstElementFactory* At(int index) const;  // null when out of range; borrowed
  QString Name(int index) const;           // its long name; empty when out of range
  int IndexOf(const char* factoryName) const;  // -1 when it is not listed

 private:
  std::vector<GstElementFactory*> factories_;
};

// Where the compressor trial at a format stands for the encoders there are now.
enum class CompressorTrialState { None, Running, Done };
CompressorTrialState CompressorTrialAt(const GstCaps* format);

// One compressor trial: the encoders there are now (factory names, sorted) at one trial format.
struct CompressorTrial {
  explicit CompressorTrial(std::string trialFormat);
  std::string format;
  std::vector<std::string> encoders;
  std::string key;  // names both: an encoder installed or removed makes another trial
};

// Runs the compressor trial of each live format it is given off the caller's thread, one after
// another, so that the list is ready when a host asks for it. Its destruction ends the trial it
// runs (which then keeps no answer: the next list at that format tries again) and waits for it.
class CompressorTrials {
 public:
  CompressorTrials() = default;
  ~CompressorTrials();
  CompressorTrials(const CompressorTrials&) = delete;
  CompressorTrials& operator=(const CompressorTrials&) = delete;
  // Any thread: tries the compressors at `format` (raw video) unless that trial ran or runs.
  void Start(const GstCaps* format);

 private:
  void Run();
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<CompressorTrial> pending_;  // claimed, not begun
  bool ending_ = false;
  std::atomic<bool> cancel_{false};
  std::thread worker_;
};

// Initialises GStreamer once per process (safe to call from any engine).
bool EnsureGstInit();

}  // namespace capture
