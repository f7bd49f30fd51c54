// The sample grabber helpers on small pipelines of their own.
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <chrono>
#include <mutex>
#include <thread>

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

// videotestsrc (n frames of w x h in `format`) -> grabber; returns the pipeline, the grabber in
// *grabber.
GstElement* GrabberPipeline(int frames, int w, int h, GstElement** grabber, const char* format = "BGR") {
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
  gst_util_set_object_arg(G_OBJECT(src), "pattern", "smpte75");  // bars without the noise corner
  GstElement* caps = gst_element_factory_make("capsfilter", nullptr);
  g_object_set(src, "num-buffers", frames, nullptr);
  GstCaps* c = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, "width", G_TYPE_INT, w, "height",
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

// Waits until the grabber has taken `count` samples.
bool WaitForSamples(GstElement* grabber, std::uint64_t count) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (SampleGrabber::FromElement(grabber)->SamplesSeen() < count)
    if (std::chrono::steady_clock::now() > end) return false;
    else std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return true;
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

// A grabber that converts on demand gives a callback host every frame and a still the newest,
// both converted exactly as a converter element in the branch would.
TEST_F(Grabber, OnDemandGrabberConvertsEveryCallbackFrameAndTheStill) {
  RecordingControl control;
  CGrabberCallback callback;
  GstElement* grabber = nullptr;
  GstElement* pipeline = GrabberPipeline(5, 64, 48, &grabber, "YUY2");
  ASSERT_EQ(ConfigureGrabber(grabber, Rgb24()), com::S_OK);
  SampleGrabber::ConvertOnDemand(grabber);
  ASSERT_EQ(SetGrabberCallback(grabber, callback, &control), com::S_OK);
  RunToEnd(pipeline);
  const auto reference = ReferenceBitmapRows("smpte75", "YUY2", 64, 48);
  EXPECT_EQ(control.sizes, std::vector<std::int32_t>(5, 64 * 3 * 48));
  EXPECT_TRUE(control.first == reference);
  std::vector<std::uint8_t> still(64 * 48 * 3);
  std::int32_t size = std::int32_t(still.size());
  ASSERT_EQ(GetGrabberBuffer(grabber, &size, still.data()), com::S_OK);
  EXPECT_TRUE(still == reference);
  MediaType connected;  // the stopped graph's type, from the frame it kept
  ASSERT_EQ(GetGrabberConnectedType(grabber, &connected), com::S_OK);
  EXPECT_EQ(connected.subtype, guid::kRGB24);
  EXPECT_EQ(connected.Vih()->bmiHeader.biBitCount, 24);
  gst_object_unref(grabber);
  gst_object_unref(pipeline);
}

// Frames that differ only in brightness, one at a time: each still shows the frame that came last,
// never one converted for an earlier call, and asking for the size first changes nothing.
TEST_F(Grabber, OnDemandStillIsTheNewestFrameAfterEveryNewOne) {
  constexpr int kW = 16, kH = 8;
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* src = gst_element_factory_make("appsrc", nullptr);
  GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "YUY2", "width", G_TYPE_INT, kW, "height",
                                      G_TYPE_INT, kH, "framerate", GST_TYPE_FRACTION, 30, 1, nullptr);
  g_object_set(src, "caps", caps, "format", GST_FORMAT_TIME, nullptr);
  gst_caps_unref(caps);
  GstElement* grabber = nullptr;
  ASSERT_EQ(CreateSampleGrabber(&grabber), com::S_OK);
  ASSERT_EQ(ConfigureGrabber(grabber, Rgb24()), com::S_OK);
  SampleGrabber::ConvertOnDemand(grabber);
  gst_bin_add_many(GST_BIN(pipeline), src, grabber, nullptr);
  ASSERT_TRUE(gst_element_link(src, grabber));
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  int lastGrey = -1;
  for (int frame = 0; frame < 4; ++frame) {
    const std::uint8_t luma = std::uint8_t(40 + 50 * frame);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, kW * kH * 2, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    for (gsize i = 0; i < map.size; i += 2) {
      map.data[i] = luma;  // Y
      map.data[i + 1] = 128;  // U and V in turn: no colour
    }
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = frame * GST_SECOND / 30;
    ASSERT_EQ(gst_app_src_push_buffer(GST_APP_SRC(src), buffer), GST_FLOW_OK);
    ASSERT_TRUE(WaitForSamples(grabber, std::uint64_t(frame + 1))) << "frame " << frame;
    std::int32_t size = 0;
    ASSERT_EQ(GetGrabberBuffer(grabber, &size, nullptr), com::S_OK);
    ASSERT_EQ(size, 48 * kH);  // 16 pixels of 3 bytes
    std::vector<std::uint8_t> still(std::size_t(size) + 3, 0xEE);  // larger than needed
    size = std::int32_t(still.size());
    ASSERT_EQ(GetGrabberBuffer(grabber, &size, still.data()), com::S_OK);
    EXPECT_EQ(size, 48 * kH);
    const int grey = still[0];
    EXPECT_TRUE(still[1] == grey && still[2] == grey && still[size - 1] == grey) << "frame " << frame;
    EXPECT_GT(grey, lastGrey) << "frame " << frame << " shows an older frame";
    lastGrey = grey;
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(grabber);
  gst_object_unref(pipeline);
}
