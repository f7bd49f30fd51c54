#pragma once
// The two lists the host picks from by position: video input devices (every device GStreamer's
// device monitor reports as "Video/Source", real V4L2 cameras through v4l2src) and video
// compressors (the video encoder factories, sorted by factory name). Every call asks GStreamer
// afresh; only the compressor check's answers are kept, per encoder set and format, in the process
// and in the user's cache folder.
#include <gst/gst.h>

#include <QString>

#include <string>
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

// The encoders a recording can use at a format: those whose output the AVI multiplexer takes,
// whose caps take `format` (the live graph's; null: the preview format), and which the compressor
// check saw record at that format, in its size, rate and raw format, and play back. The check runs
// in the control's own program ornik-compressor-check (beside the control's file), once per
// encoder set and format: its answers are kept in the process and in the user's cache folder, and
// an encoder installed or removed, or a new control, is checked again. An encoder whose check
// ended without an answer (out of time) is not listed, and is asked about again five minutes
// later (the lists in between ask nothing, so a check that hangs makes one list wait, not each).
// No encoder's code is loaded by a list.
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

// The file the compressor check's answers are kept in: ornik/compressor-check in $XDG_CACHE_HOME
// (or ~/.cache), read when the process has no answers of its own for a set and format.
std::string CompressorCheckFile();

// Initialises GStreamer once per process (safe to call from any engine).
bool EnsureGstInit();

}  // namespace capture
