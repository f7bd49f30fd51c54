#include "engine/dv_provider.h"

#include "engine/dv_transport.h"

#include <libavc1394/avc1394.h>
#include <libavc1394/rom1394.h>
#include <libraw1394/raw1394.h>

#include <mutex>

namespace capture {

namespace {

constexpr char kGuidKey[] = "ieee1394.guid";

struct OrnikDvDevice {
  GstDevice parent;
};
struct OrnikDvDeviceClass {
  GstDeviceClass parent_class;
};
G_DEFINE_TYPE(OrnikDvDevice, ornik_dv_device, GST_TYPE_DEVICE)

GstElement* CreateSource(GstDevice* device, const gchar* name) {
  GstStructure* props = gst_device_get_properties(device);
  guint64 guid = 0;
  gst_structure_get_uint64(props, kGuidKey, &guid);
  gst_structure_free(props);
  GstElement* source = gst_element_factory_make("dv1394src", name);
  if (source) g_object_set(source, "guid", guid, nullptr);
  return source;
}

void ornik_dv_device_class_init(OrnikDvDeviceClass* klass) { GST_DEVICE_CLASS(klass)->create_element = CreateSource; }
void ornik_dv_device_init(OrnikDvDevice*) {}

struct OrnikDvProvider {
  GstDeviceProvider parent;
};
struct OrnikDvProviderClass {
  GstDeviceProviderClass parent_class;
};
G_DEFINE_TYPE(OrnikDvProvider, ornik_dv_provider, GST_TYPE_DEVICE_PROVIDER)

// Every node of every port that is an AV/C unit with a tape subunit.
GList* Probe(GstDeviceProvider*) {
  GList* devices = nullptr;
  WalkBusNodes([&devices](raw1394handle_t handle, nodeid_t node) {
    rom1394_directory dir;
    if (rom1394_get_directory(handle, node, &dir) < 0) return false;
    const bool tape = rom1394_get_node_type(&dir) == ROM1394_NODE_TYPE_AVC &&
                      avc1394_check_subunit_type(handle, node, AVC1394_SUBUNIT_TYPE_VCR) == 1;
    const std::string label = dir.label ? dir.label : "";
    rom1394_free_directory(&dir);
    if (tape)
      devices = g_list_append(devices, NewDvDevice(rom1394_get_guid(handle, node), label.empty() ? "DV Camcorder" : label));
    return false;
  });
  return devices;
}

void ornik_dv_provider_class_init(OrnikDvProviderClass* klass) {
  GstDeviceProviderClass* dp = GST_DEVICE_PROVIDER_CLASS(klass);
  dp->probe = Probe;
  gst_device_provider_class_set_static_metadata(dp, "DV camcorder provider", "Source/Video",
                                                "Lists DV camcorders and decks on IEEE 1394", "Ornik");
}
void ornik_dv_provider_init(OrnikDvProvider*) {}

gboolean PluginInit(GstPlugin* plugin) {
  return gst_device_provider_register(plugin, "ornikdv1394deviceprovider", GST_RANK_PRIMARY,
                                      ornik_dv_provider_get_type());
}

}  // namespace

GstDevice* NewDvDevice(std::uint64_t guid, const std::string& name) {
  GstCaps* caps = gst_caps_from_string("video/x-dv,systemstream=true");
  GstStructure* props = gst_structure_new("dv1394-proplist", kGuidKey, G_TYPE_UINT64, guint64(guid), nullptr);
  GstDevice* device = GST_DEVICE(g_object_new(ornik_dv_device_get_type(), "display-name", name.c_str(), "caps", caps,
                                              "device-class", "Video/Source", "properties", props, nullptr));
  gst_caps_unref(caps);
  gst_structure_free(props);
  return device;
}

bool RegisterDvProvider() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    ok = gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "ornikdv1394", "DV camcorders on IEEE 1394",
                                    PluginInit, "1.0", "LGPL", "ornik", "ornik", "https://localhost/");
  });
  return ok;
}

}  // namespace capture
