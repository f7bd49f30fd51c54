#include "engine/devices.h"

#include "engine/dv_provider.h"
#include "engine/recording_graph.h"

#include <algorithm>
#include <cstring>

namespace capture {

bool EnsureGstInit() {
  if (gst_is_initialized()) return RegisterDvProvider() || true;
  GError* error = nullptr;
  const bool ok = gst_init_check(nullptr, nullptr, &error);
  if (ok) RegisterDvProvider();  // DV camcorders are video input devices too
  if (error) {
    g_warning("GStreamer could not start: %s", error->message);
    g_error_free(error);
  }
  return ok;
}

namespace {

// A sound server's monitor of an output is listed as an audio source, but records no input.
bool IsMonitor(GstDevice* device) {
  GstStructure* props = gst_device_get_properties(device);
  const bool monitor = props && g_strcmp0(gst_structure_get_string(props, "device.class"), "monitor") == 0;
  if (props) gst_structure_free(props);
  return monitor;
}

// The caps the AVI multiplexer takes on a video input (empty when it is missing).
GstCaps* AviVideoCaps() {
  GstElementFactory* mux = gst_element_factory_find("avimux");
  GstCaps* caps = gst_caps_new_empty();
  if (!mux) return caps;
  for (const GList* l = gst_element_factory_get_static_pad_templates(mux); l; l = l->next) {
    auto* t = static_cast<GstStaticPadTemplate*>(l->data);
    if (t->direction == GST_PAD_SINK && g_str_has_prefix(t->name_template, "video"))
      caps = gst_caps_merge(caps, gst_static_pad_template_get_caps(t));
  }
  gst_object_unref(mux);
  return caps;
}

bool WritesInto(GstElementFactory* encoder, GstCaps* accepted) {
  for (const GList* l = gst_element_factory_get_static_pad_templates(encoder); l; l = l->next) {
    auto* t = static_cast<GstStaticPadTemplate*>(l->data);
    if (t->direction != GST_PAD_SRC) continue;
    GstCaps* caps = gst_static_pad_template_get_caps(t);
    const bool ok = gst_caps_can_intersect(caps, accepted);
    gst_caps_unref(caps);
    if (ok) return true;
  }
  return false;
}

}  // namespace

DeviceList::DeviceList(const char* deviceClass) {
  if (!EnsureGstInit()) return;
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, deviceClass, nullptr);
  GList* devices = gst_device_monitor_get_devices(monitor);  // probes; no start needed
  for (GList* l = devices; l; l = l->next) {
    GstDevice* device = GST_DEVICE(l->data);  // takes the refs
    if (IsMonitor(device)) gst_object_unref(device);
    else devices_.push_back(device);
  }
  g_list_free(devices);
  gst_object_unref(monitor);
}

DeviceList::~DeviceList() {
  for (GstDevice* d : devices_) gst_object_unref(d);
}

GstDevice* DeviceList::At(int index) const {
  return index >= 0 && index < Count() ? devices_[std::size_t(index)] : nullptr;
}

QString DeviceList::Name(int index) const {
  GstDevice* device = At(index);
  if (!device) return {};
  gchar* name = gst_device_get_display_name(device);
  QString result = QString::fromUtf8(name ? name : "");
  g_free(name);
  return result;
}

CompressorList::CompressorList(const GstCaps* format) {
  if (!EnsureGstInit()) return;
  GList* list = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_VIDEO_ENCODER, GST_RANK_NONE);
  GstCaps* accepted = AviVideoCaps();
  std::vector<GstElementFactory*> candidates;
  for (GList* l = list; l; l = l->next)
    if (WritesInto(GST_ELEMENT_FACTORY(l->data), accepted))
      candidates.push_back(GST_ELEMENT_FACTORY(gst_object_ref(l->data)));
  gst_caps_unref(accepted);
  gst_plugin_feature_list_free(list);
  const std::vector<bool> records = RecordsAt(candidates, format);
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (records[i]) factories_.push_back(candidates[i]);
    else gst_object_unref(candidates[i]);
  }
  std::sort(factories_.begin(), factories_.end(), [](GstElementFactory* a, GstElementFactory* b) {
    return std::strcmp(GST_OBJECT_NAME(a), GST_OBJECT_NAME(b)) < 0;
  });
}

CompressorList::~CompressorList() {
  for (GstElementFactory* f : factories_) gst_object_unref(f);
}

GstElementFactory* CompressorList::At(int index) const {
  return index >= 0 && index < Count() ? factories_[std::size_t(index)] : nullptr;
}

int CompressorList::IndexOf(const char* factoryName) const {
  for (std::size_t i = 0; i < factories_.size(); ++i)
    if (g_str_equal(GST_OBJECT_NAME(factories_[i]), factoryName)) return int(i);
  return -1;
}

QString CompressorList::Name(int index) const {
  GstElementFactory* factory = At(index);
  if (!factory) return {};
  const gchar* name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
  return QString::fromUtf8(name ? name : GST_OBJECT_NAME(factory));
}

}  // namespace capture
