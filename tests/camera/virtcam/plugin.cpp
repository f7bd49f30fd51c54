// The virtual cameras as a loadable GStreamer plugin: put its folder on GST_PLUGIN_PATH and
// describe the cameras in ORNIK_VIRTCAMS (see virtcam.h). Without ORNIK_VIRTCAMS it lists nothing
// and hides nothing.
#include <gst/gst.h>

#include "virtcam.h"

static gboolean plugin_init(GstPlugin* plugin) {
  const char* description = g_getenv("ORNIK_VIRTCAMS");
  const std::vector<virtcam::Camera> cameras = virtcam::ParseDescription(description ? description : "");
  virtcam::SetCameras(cameras);
  // Any description, "0" included, stands for these cameras and no others.
  virtcam::SetExclusive(description && *description && g_strcmp0(g_getenv("ORNIK_VIRTCAMS_SHOW_REAL"), "1") != 0);
  return virtcam::PluginInit(plugin);
}

#define PACKAGE "velmor"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, ornikvirtcam, "Virtual cameras for tests", plugin_init, "1.0",
                  "LGPL", "velmor", "https://localhost/")
