// The sample grabber helpers on small pipelines of their own.
#include <gst/gst.h>

#include <mutex>

#include "engine/hresult.h"
#include "engine/sample_grabber.h"
#include "engine_fixture.h"

using namespace cameratest;
using namespace capture;

namespace {

struct RecordingControl final : IOrnikEventSink {
  void FireSGCallBack(std::uint8_t* buffer, std::int32_t size) override {
    std::lock_guard lock(mutex);
    sizes.push_back(size);
    if (first.empty()) first.assign(buffer, buffer + size);
  }
  std::mutex mutex;
  std::vector<std::int32_t> sizes;
  std::vector<std::uint8_t> first;
};

// videotestsrc (n frames of w x h BGR) -> grabber; returns the pipeline, the grabber in *grabber.
GstElement* GrabberPipeline(int frames, int w, int h, GstElement** grabber) {
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
  gst_util_set_object_arg(G_OBJECT(src), "pattern", "smpte75");  // bars without the noise corner
  GstElement* caps = gst_element_factory_make("capsfilter", nullptr);
  g_object_set(src, "num-buffers", frames, nullptr);
  GstCaps* c = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT, w, "height",
                                   G_TYPE_INT, h, nullptr);
  g_object_set(caps, "caps", c, nullptr);
  gst_caps_unref(c);
  EXPECT_EQ(CreateSampleGrabber(grabber), com::S_OK);
  gst_bin_add_many(GST_BIN(pipeline), src, caps, *grabber, nullptr);
  EXPECT_TRUE(gst_element_link_many(src, caps, *grabber, nullptr));
  return pipeline;
}

void RunToEnd(GstElement* pipeline) {
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* m = gst_bus_timed_pop_filtered(bus, 5 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  EXPECT_TRUE(m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS);
  if (m) gst_message_unref(m);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
}

MediaType Rgb24() {
  MediaType mt;
  InitMediaType(mt);
  mt.majortype = guid::kMediaTypeVideo;
  mt.subtype = guid::kRGB24;
  return mt;
}

}  // namespace

class Grabber : public CameraTest {};

TEST_F(Grabber, HelpersRefuseMissingAndForeignFilters) {
  CGrabberCallback callback;
  MediaType mt = Rgb24();
  std::int32_t size = 100;
  EXPECT_EQ(ConfigureGrabber(nullptr, mt), com::E_FAIL);
  EXPECT_EQ(GetGrabberConnectedType(nullptr, &mt), com::E_FAIL);
  EXPECT_EQ(GetGrabberBuffer(nullptr, &size, nullptr), com::E_FAIL);
  EXPECT_EQ(SetGrabberBuffering(nullptr, true), com::E_FAIL);
  EXPECT_EQ(SetGrabberOneShot(nullptr, true), com::E_FAIL);
  EXPECT_EQ(SetGrabberCallback(nullptr, callback, nullptr), com::E_FAIL);
  GstElement* queue = GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make("queue", nullptr)));
  EXPECT_EQ(ConfigureGrabber(queue, mt), com::E_NOINTERFACE);
  EXPECT_EQ(GetGrabberBuffer(queue, &size, nullptr), com::E_NOINTERFACE);
  EXPECT_EQ(SetGrabberCallback(queue, callback, nullptr), com::E_NOINTERFACE);
  gst_object_unref(queue);
}

// Each grabber tells its own control of every buffer, bottom-up like the still.
TEST_F(Grabber, CallbacksGoToTheirOwnControlWithTheBitmapRows) {
  RecordingControl controlA, controlB;
  CGrabberCallback callbackA, callbackB;
  GstElement *grabberA = nullptr, *grabberB = nullptr;
  GstElement* a = GrabberPipeline(5, 64, 48, &grabberA);
  GstElement* b = GrabberPipeline(3, 30, 20, &grabberB);
  ASSERT_EQ(ConfigureGrabber(grabberA, Rgb24()), com::S_OK);
  ASSERT_EQ(SetGrabberCallback(grabberA, callbackA, &controlA), com::S_OK);
  ASSERT_EQ(SetGrabberCallback(grabberB, callbackB, &controlB), com::S_OK);
  RunToEnd(a);
  RunToEnd(b);
  EXPECT_EQ(controlA.sizes, std::vector<std::int32_t>(5, 64 * 3 * 48));
  EXPECT_EQ(controlB.sizes, std::vector<std::int32_t>(3, 92 * 20));  // 90 bytes padded to 92
  EXPECT_TRUE(controlA.first == ReferenceBitmapRows("smpte75", "BGR", 64, 48));
  gst_object_unref(grabberA);
  gst_object_unref(grabberB);
  gst_object_unref(a);
  gst_object_unref(b);
}

TEST_F(Grabber, CurrentBufferFollowsBufferingAndSizeRules) {
  GstElement* grabber = nullptr;
  GstElement* pipeline = GrabberPipeline(2, 64, 48, &grabber);
  std::vector<std::uint8_t> buffer(64 * 48 * 3);
  std::int32_t size = std::int32_t(buffer.size());
  EXPECT_EQ(GetGrabberBuffer(grabber, &size, buffer.data()), com::E_INVALIDARG);  // not buffering
  ASSERT_EQ(SetGrabberBuffering(grabber, true), com::S_OK);
  EXPECT_EQ(GetGrabberBuffer(grabber, &size, buffer.data()), com::VFW_E_WRONG_STATE);  // no sample yet
  RunToEnd(pipeline);
  size = 0;
  ASSERT_EQ(GetGrabberBuffer(grabber, &size, nullptr), com::S_OK);  // the size it needs
  EXPECT_EQ(size, 64 * 48 * 3);
  size = 100;
  EXPECT_EQ(GetGrabberBuffer(grabber, &size, buffer.data()), com::E_OUTOFMEMORY);
  size = std::int32_t(buffer.size());
  ASSERT_EQ(GetGrabberBuffer(grabber, &size, buffer.data()), com::S_OK);
  MediaType connected;
  ASSERT_EQ(GetGrabberConnectedType(grabber, &connected), com::S_OK);
  EXPECT_EQ(connected.subtype, guid::kRGB24);
  EXPECT_EQ(connected.Vih()->bmiHeader.biWidth, 64);
  EXPECT_EQ(connected.Vih()->bmiHeader.biHeight, 48);
  ASSERT_EQ(SetGrabberBuffering(grabber, false), com::S_OK);
  EXPECT_EQ(GetGrabberBuffer(grabber, &size, buffer.data()), com::E_INVALIDARG);
  gst_object_unref(grabber);
  gst_object_unref(pipeline);
}

TEST_F(Grabber, OneShotTakesTheFirstSampleOnly) {
  RecordingControl control;
  CGrabberCallback callback;
  GstElement* grabber = nullptr;
  GstElement* pipeline = GrabberPipeline(10, 32, 32, &grabber);
  ASSERT_EQ(SetGrabberOneShot(grabber, true), com::S_OK);
  ASSERT_EQ(SetGrabberCallback(grabber, callback, &control), com::S_OK);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* m = gst_bus_timed_pop_filtered(bus, 5 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  if (m) gst_message_unref(m);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  EXPECT_EQ(control.sizes.size(), 1u);
  gst_object_unref(grabber);
  gst_object_unref(pipeline);
}
