#pragma once
// Virtual cameras for tests: a GStreamer device provider whose devices are videotestsrc sources.
// Any GstDeviceMonitor lists them like V4L2 cameras. Tests register the provider in their own
// process (Register, SetCameras); the plugin build of the same code (libgstornikvirtcam.so on
// GST_PLUGIN_PATH) serves a whole process that knows nothing of it, configured by
//
//   ORNIK_VIRTCAMS=2                                   two cameras with the default modes
//   ORNIK_VIRTCAMS=0                                   no camera at all
//   ORNIK_VIRTCAMS="Door|smpte|YUY2 640x480@30+BGR 320x240@30;Hall|ball"
//                                                      name|pattern|modes[|source] per camera
//   ORNIK_VIRTCAMS_SHOW_REAL=1                         keep real cameras listed as well
//
// A mode is "FORMAT WxH@FPS" (FPS a number or n/d) or a caps text such as
// "video/x-raw,format=YUY2,width=[160,1280],height=[120,720],framerate=30/1"; modes are joined by
// '+', cameras by ';'. A camera's source, when given, replaces videotestsrc by a launch line
// (for example "v4l2src device=/dev/video9" for a camera that fails to open).
#include <gst/gst.h>

#include <string>
#include <vector>

namespace virtcam {

struct Camera {
  std::string name;
  std::string id;                  // "device.path" of the device; /virtual/camN when empty
  std::string pattern = "smpte";   // videotestsrc pattern, by nick or number
  std::vector<std::string> modes;  // empty: DefaultModes()
  std::string source;              // empty: videotestsrc is-live=true pattern=<pattern>
};

// A virtual microphone: an audiotestsrc listed as "Audio/Source", with the input lines it names.
struct Microphone {
  std::string name;
  std::string wave = "sine";
  std::vector<std::string> lines;  // empty: one line, the device itself
};

// YUY2 640x480@30, BGR 320x240@30, YUY2 320x240@30, YUY2 1280x720@30, I420 640x480@30.
std::vector<std::string> DefaultModes();
// Caps of a list of modes; null when a mode cannot be read.
GstCaps* ModesToCaps(const std::vector<std::string>& modes);
// Cameras of an ORNIK_VIRTCAMS text.
std::vector<Camera> ParseDescription(const std::string& description);

// Registers the provider in this process (a static plugin). Call after gst_init; idempotent.
bool Register();
// Cameras listed from now on (the next probe sees them).
void SetCameras(const std::vector<Camera>& cameras);
// Microphones listed from now on, after the cameras.
void SetMicrophones(const std::vector<Microphone>& microphones);
// When exclusive, the provider hides every other device provider from the monitors that use it.
void SetExclusive(bool exclusive);
// Ranks every other device provider NONE, so no monitor of this process uses them.
void HideRealProviders();
// Hot-plug while a monitor is started (posts DEVICE_ADDED / DEVICE_REMOVED); also changes the list.
bool Plug(const Camera& camera);
bool Unplug(const std::string& id);

// Plugin entry used by both builds.
gboolean PluginInit(GstPlugin* plugin);

}  // namespace virtcam
