#pragma once
// Small owning handles for GStreamer objects: one reference each, dropped when the handle goes.
// Handles are declared in the order their objects are taken, so that they are freed in reverse.
#include <gst/gst.h>

#include <memory>

namespace capture {

struct GstObjectUnref {
  void operator()(gpointer object) const {
    if (object) gst_object_unref(object);
  }
};
struct GstCapsUnref {
  void operator()(GstCaps* caps) const {
    if (caps) gst_caps_unref(caps);
  }
};

template <class T>
using GstPtr = std::unique_ptr<T, GstObjectUnref>;
using ElementPtr = GstPtr<GstElement>;
using PadPtr = GstPtr<GstPad>;
using BusPtr = GstPtr<GstBus>;
using CapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;

// Takes an object the caller received with a full reference (or null).
template <class T>
GstPtr<T> Adopt(T* object) {
  return GstPtr<T>(object);
}
// Takes a new (floating) object: its floating reference becomes the handle's own.
template <class T>
GstPtr<T> Sink(T* object) {
  return GstPtr<T>(object ? static_cast<T*>(gst_object_ref_sink(object)) : nullptr);
}
// A second reference to an object held elsewhere.
template <class T>
GstPtr<T> Ref(T* object) {
  return GstPtr<T>(object ? static_cast<T*>(gst_object_ref(object)) : nullptr);
}

}  // namespace capture
