#include "virtcam.h"

#include <cstdio>
#include <mutex>
#include <sstream>

namespace virtcam {

namespace {

constexpr const char* kProviderName = "ornikvirtcamprovider";

std::mutex g_mutex;
std::vector<Camera> g_cameras;
std::vector<Microphone> g_microphones;
bool g_exclusive = false;
GstDeviceProvider* g_started = nullptr;  // the provider while started

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) parts.push_back(part);
  return parts;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  const auto e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// "YUY2 640x480@30" -> video/x-raw,format=YUY2,width=640,height=480,framerate=30/1
std::string ModeToCapsText(const std::string& mode) {
  const std::string m = Trim(mode);
  if (m.rfind("video/", 0) == 0 || m.rfind("image/", 0) == 0) return m;
  char format[32] = {};
  int w = 0, h = 0, n = 0, d = 1;
  const int got = std::sscanf(m.c_str(), "%31s %dx%d@%d/%d", format, &w, &h, &n, &d);
  if (got < 4 || w <= 0 || h <= 0 || n <= 0 || d <= 0) return {};
  return "video/x-raw,format=" + std::string(format) + ",width=" + std::to_string(w) +
         ",height=" + std::to_string(h) + ",framerate=" + std::to_string(n) + "/" + std::to_string(d);
}

// ---- the device ----------------------------------------------------------------------------------
struct VirtCamDevice {
  GstDevice parent;
};
struct VirtCamDeviceClass {
  GstDeviceClass parent_class;
};
G_DEFINE_TYPE(VirtCamDevice, virt_cam_device, GST_TYPE_DEVICE)

GstElement* CreateElement(GstDevice* device, const gchar* name) {
  GstStructure* props = gst_device_get_properties(device);
  const char* pattern = gst_structure_get_string(props, "virtcam.pattern");
  const char* source = gst_structure_get_string(props, "virtcam.source");
  const char* wave = gst_structure_get_string(props, "virtcam.wave");
  GstElement* element = nullptr;
  if (wave) {
    element = gst_element_factory_make("audiotestsrc", name);
    if (element) {
      // Stamped with the clock's running time, as a sound card's buffers are.
      g_object_set(element, "is-live", TRUE, "do-timestamp", TRUE, nullptr);
      gst_util_set_object_arg(G_OBJECT(element), "wave", wave);
    }
  } else if (source && *source) {
    GError* error = nullptr;
    element = gst_parse_launch(source, &error);
    if (error) g_error_free(error);
    if (element && name) gst_object_set_name(GST_OBJECT(element), name);
  } else {
    element = gst_element_factory_make("videotestsrc", name);
    if (element) {
      g_object_set(element, "is-live", TRUE, nullptr);
      if (pattern && *pattern) gst_util_set_object_arg(G_OBJECT(element), "pattern", pattern);
    }
  }
  gst_structure_free(props);
  return element;
}

void virt_cam_device_class_init(VirtCamDeviceClass* klass) { GST_DEVICE_CLASS(klass)->create_element = CreateElement; }
void virt_cam_device_init(VirtCamDevice*) {}

GstDevice* MakeDevice(const Camera& camera, std::size_t position) {
  GstCaps* caps = ModesToCaps(camera.modes.empty() ? DefaultModes() : camera.modes);
  if (!caps) caps = gst_caps_new_empty();
  const std::string id = camera.id.empty() ? "/virtual/cam" + std::to_string(position) : camera.id;
  GstStructure* props = gst_structure_new("virtcam-properties", "device.path", G_TYPE_STRING, id.c_str(),
                                          "device.api", G_TYPE_STRING, "virtual", "virtcam.pattern", G_TYPE_STRING,
                                          camera.pattern.c_str(), "virtcam.source", G_TYPE_STRING,
                                          camera.source.c_str(), nullptr);
  auto* device = GST_DEVICE(g_object_new(virt_cam_device_get_type(), "display-name", camera.name.c_str(), "caps",
                                         caps, "device-class", "Video/Source", "properties", props, nullptr));
  gst_caps_unref(caps);
  gst_structure_free(props);
  return device;  // floating
}

GstDevice* MakeMicrophone(const Microphone& mic, std::size_t position) {
  GstCaps* caps = gst_caps_from_string("audio/x-raw,format={S16LE,U8},layout=interleaved,rate=[1,192000],channels=[1,2]");
  std::string lines;
  for (const std::string& l : mic.lines) lines += (lines.empty() ? "" : "|") + l;
  const std::string id = "/virtual/mic" + std::to_string(position);
  GstStructure* props = gst_structure_new("virtcam-properties", "device.path", G_TYPE_STRING, id.c_str(), "device.api",
                                          G_TYPE_STRING, "virtual", "virtcam.wave", G_TYPE_STRING, mic.wave.c_str(),
                                          nullptr);
  if (!lines.empty()) gst_structure_set(props, "device.input-lines", G_TYPE_STRING, lines.c_str(), nullptr);
  auto* device = GST_DEVICE(g_object_new(virt_cam_device_get_type(), "display-name", mic.name.c_str(), "caps", caps,
                                         "device-class", "Audio/Source", "properties", props, nullptr));
  gst_caps_unref(caps);
  gst_structure_free(props);
  return device;  // floating
}

// ---- the provider ----------------------------------------------------------------------------------
struct VirtCamProvider {
  GstDeviceProvider parent;
};
struct VirtCamProviderClass {
  GstDeviceProviderClass parent_class;
};
G_DEFINE_TYPE(VirtCamProvider, virt_cam_provider, GST_TYPE_DEVICE_PROVIDER)

GList* Probe(GstDeviceProvider*) {
  std::lock_guard lock(g_mutex);
  GList* list = nullptr;
  for (std::size_t i = 0; i < g_cameras.size(); ++i) list = g_list_append(list, MakeDevice(g_cameras[i], i));
  for (std::size_t i = 0; i < g_microphones.size(); ++i)
    list = g_list_append(list, MakeMicrophone(g_microphones[i], i));
  return list;
}

gboolean Start(GstDeviceProvider* provider) {
  std::lock_guard lock(g_mutex);
  for (std::size_t i = 0; i < g_cameras.size(); ++i)
    gst_device_provider_device_add(provider, MakeDevice(g_cameras[i], i));
  g_started = provider;
  return TRUE;
}

void Stop(GstDeviceProvider*) {
  std::lock_guard lock(g_mutex);
  g_started = nullptr;
}

void virt_cam_provider_class_init(VirtCamProviderClass* klass) {
  auto* pc = GST_DEVICE_PROVIDER_CLASS(klass);
  pc->probe = Probe;
  pc->start = Start;
  pc->stop = Stop;
  gst_device_provider_class_set_static_metadata(pc, "Ornik virtual cameras", "Source/Video/Audio",
                                                "videotestsrc cameras for tests", "Velmor project");
}

void virt_cam_provider_init(VirtCamProvider* self) {
  bool exclusive = false;
  {
    std::lock_guard lock(g_mutex);
    exclusive = g_exclusive;
  }
  if (!exclusive) return;
  // Monitors that use this provider leave out the devices of every other provider.
  GList* all = gst_device_provider_factory_list_get_device_providers(GST_RANK_NONE);
  for (GList* l = all; l; l = l->next)
    if (g_strcmp0(GST_OBJECT_NAME(l->data), kProviderName) != 0)
      gst_device_provider_hide_provider(GST_DEVICE_PROVIDER(self), GST_OBJECT_NAME(l->data));
  gst_plugin_feature_list_free(all);
}

GstDeviceProvider* StartedProvider() {
  std::lock_guard lock(g_mutex);
  return g_started ? GST_DEVICE_PROVIDER(gst_object_ref(g_started)) : nullptr;
}

}  // namespace

std::vector<std::string> DefaultModes() {
  return {"YUY2 640x480@30", "BGR 320x240@30", "YUY2 320x240@30", "YUY2 1280x720@30", "I420 640x480@30"};
}

GstCaps* ModesToCaps(const std::vector<std::string>& modes) {
  GstCaps* caps = gst_caps_new_empty();
  for (const std::string& mode : modes) {
    const std::string text = ModeToCapsText(mode);
    GstCaps* one = text.empty() ? nullptr : gst_caps_from_string(text.c_str());
    if (!one) {
      gst_caps_unref(caps);
      return nullptr;
    }
    caps = gst_caps_merge(caps, one);  // keeps the order, keeps duplicates apart
  }
  return caps;
}

std::vector<Camera> ParseDescription(const std::string& description) {
  std::vector<Camera> cameras;
  const std::string text = Trim(description);
  if (text.empty()) return cameras;
  if (text.find_first_not_of("0123456789") == std::string::npos) {
    const int count = std::stoi(text);
    const char* patterns[] = {"smpte", "ball", "snow", "checkers-8", "circular", "gradient"};
    for (int i = 0; i < count; ++i)
      cameras.push_back({"Virtual Camera " + std::to_string(i + 1), {}, patterns[i % 6], {}, {}});
    return cameras;
  }
  for (const std::string& item : Split(text, ';')) {
    if (Trim(item).empty()) continue;
    std::vector<std::string> f = Split(item, '|');
    Camera c;
    c.name = Trim(f[0]);
    if (f.size() > 1 && !Trim(f[1]).empty()) c.pattern = Trim(f[1]);
    if (f.size() > 2)
      for (const std::string& m : Split(f[2], '+'))
        if (!Trim(m).empty()) c.modes.push_back(Trim(m));
    if (f.size() > 3) c.source = Trim(f[3]);
    cameras.push_back(c);
  }
  return cameras;
}

gboolean PluginInit(GstPlugin* plugin) {
  return gst_device_provider_register(plugin, kProviderName, GST_RANK_PRIMARY + 1, virt_cam_provider_get_type());
}

bool Register() {
  static const bool ok =
      gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "ornikvirtcam", "Virtual cameras for tests",
                                 PluginInit, "1.0", "LGPL", "velmor", "velmor", "https://localhost/");
  return ok;
}

void SetCameras(const std::vector<Camera>& cameras) {
  std::lock_guard lock(g_mutex);
  g_cameras = cameras;
}

void SetMicrophones(const std::vector<Microphone>& microphones) {
  std::lock_guard lock(g_mutex);
  g_microphones = microphones;
}

void SetExclusive(bool exclusive) {
  std::lock_guard lock(g_mutex);
  g_exclusive = exclusive;
}

void HideRealProviders() {
  GList* all = gst_device_provider_factory_list_get_device_providers(GST_RANK_NONE);
  for (GList* l = all; l; l = l->next)
    if (g_strcmp0(GST_OBJECT_NAME(l->data), kProviderName) != 0)
      gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(l->data), GST_RANK_NONE);
  gst_plugin_feature_list_free(all);
}

// The provider's own lock is held while it calls Start, which takes g_mutex: the provider is
// taken out of g_mutex first.
bool Plug(const Camera& camera) {
  std::size_t position = 0;
  {
    std::lock_guard lock(g_mutex);
    position = g_cameras.size();
    g_cameras.push_back(camera);
  }
  GstDeviceProvider* provider = StartedProvider();
  if (!provider) return false;
  gst_device_provider_device_add(provider, MakeDevice(camera, position));
  gst_object_unref(provider);
  return true;
}

bool Unplug(const std::string& id) {
  {
    std::lock_guard lock(g_mutex);
    for (std::size_t i = 0; i < g_cameras.size(); ++i) {
      const std::string cid = g_cameras[i].id.empty() ? "/virtual/cam" + std::to_string(i) : g_cameras[i].id;
      if (cid == id) {
        g_cameras.erase(g_cameras.begin() + long(i));
        break;
      }
    }
  }
  GstDeviceProvider* provider = StartedProvider();
  if (!provider) return false;
  GstDevice* found = nullptr;
  GList* devices = gst_device_provider_get_devices(provider);
  for (GList* l = devices; l && !found; l = l->next) {
    GstStructure* p = gst_device_get_properties(GST_DEVICE(l->data));
    if (id == gst_structure_get_string(p, "device.path")) found = GST_DEVICE(gst_object_ref(l->data));
    gst_structure_free(p);
  }
  g_list_free_full(devices, gst_object_unref);
  if (found) {
    gst_device_provider_device_remove(provider, found);
    gst_object_unref(found);
  }
  gst_object_unref(provider);
  return found != nullptr;
}

}  // namespace virtcam
