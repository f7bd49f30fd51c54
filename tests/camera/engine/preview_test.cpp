// Live preview: building, running, tearing down, graph events and failures.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gst/gst.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/hresult.h"
#include "engine_fixture.h"

using namespace cameratest;

namespace {

// Becomes true when the watched GStreamer object is finalised.
struct Finalised {
  explicit Finalised(GstElement* e) { g_object_weak_ref(G_OBJECT(e), [](gpointer flag, GObject*) { *static_cast<bool*>(flag) = true; }, &gone); }
  // A streaming thread that is winding down may still hold the graph for a moment after its
  // owner let it go: wait up to two seconds for the last reference.
  bool Gone() {
    QElapsedTimer clock;
    clock.start();
    while (!gone && clock.elapsed() < 2000) {
      QCoreApplication::processEvents();
      QThread::msleep(5);
    }
    return gone;
  }
  bool gone = false;
};

}  // namespace

class Preview : public CameraTest {};

TEST_F(Preview, GrabberPreviewRunsIntoTheWindowAndKeepsTheFrameSize) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_TRUE(engine.IsLiveMode());
  // The default camera offers 320x240 RGB24, which the live build asks for first.
  const auto& header = engine.GrabberFrameHeader();
  EXPECT_EQ(header.biWidth, 320);
  EXPECT_EQ(header.biHeight, 240);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_GT(window_.repaints.load(), 0);
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 400, 400));
  const QImage painted = Paint(engine);
  EXPECT_NE(painted.pixel(200, 100), qRgb(0, 0, 0)) << "no picture painted";
  engine.TearDownGraph();
  EXPECT_EQ(engine.FilterGraph(), nullptr);
  // The window shows no picture any more; the frame size stays for the host.
  EXPECT_EQ(Paint(engine).pixel(200, 100), qRgb(0, 0, 0));
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 320);
}

TEST_F(Preview, NoWindowOrNoCameraFailsWithoutAGraphLeftRunning) {
  CCaptureEngine engine;
  EXPECT_EQ(engine.PreviewOnWithGrabber(nullptr), com::E_FAIL);
  EXPECT_EQ(engine.FilterGraph(), nullptr);

  engine.SetVideoDeviceIndex(2);  // two cameras: positions 0 and 1
  EXPECT_TRUE(capture::Failed(engine.PreviewOnWithGrabber(&window_)));
  engine.SetVideoDeviceIndex(-1);
  EXPECT_TRUE(capture::Failed(engine.PreviewOn(&window_)));

  UseCameras({});
  engine.SetVideoDeviceIndex(0);
  EXPECT_EQ(engine.PreviewOnWithGrabber(&window_), com::E_FAIL);
  EXPECT_EQ(engine.PreviewOn(&window_), com::E_FAIL);
  EXPECT_EQ(engine.SaveGrabberBitmap(TempFile("x.bmp")), com::E_FAIL);
  EXPECT_FALSE(FileExists(TempFile("x.bmp")));
  EXPECT_EQ(engine.SetStretchType(1), com::E_FAIL);
  short count = -1;
  EXPECT_EQ(engine.GetStreamCapsCount(capture::PinCategory::Capture, &count), com::E_FAIL);
  engine.TearDownGraph();  // the host's preview-off after a failed build
  EXPECT_EQ(engine.FilterGraph(), nullptr);
}

TEST_F(Preview, SecondCameraIsUsedWhenSelected) {
  UseCameras({Cam("A", "smpte75"), Cam("B", "smpte75", {"BGR 160x120@30"})});
  CCaptureEngine engine;
  engine.SetVideoDeviceIndex(1);
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 160);
}

// A new build and the engine's end both release the running graph, camera included.
TEST_F(Preview, EveryGraphIsReleasedByTheNextBuildAndByTheEngineItself) {
  auto engine = std::make_unique<CCaptureEngine>();
  ASSERT_EQ(engine->PreviewOnWithGrabber(&window_), com::S_OK);
  Finalised first(engine->FilterGraph());
  ASSERT_EQ(engine->PreviewOn(&window_), com::S_OK);
  EXPECT_TRUE(first.Gone());
  Finalised second(engine->FilterGraph());
  engine.reset();  // a host that destroys the control with the preview running
  EXPECT_TRUE(second.Gone());
}

// A host may change the format and close the control at any moment after its preview starts,
// each time at a format the process has not had before.
TEST_F(Preview, ClosingRightAfterAFormatChangeNeverTakesTheHostDown) {
  constexpr int kCycles = 40;
  std::vector<std::string> modes;
  for (int i = 0; i < 2 * kCycles; ++i) modes.push_back("I420 " + std::to_string(160 + 8 * i) + "x120@15");
  UseCameras({Cam("Formats", "smpte", modes)});
  for (int i = 0; i < kCycles; ++i) {
    CCaptureEngine engine;
    ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
    ASSERT_EQ(engine.SetStreamCaps(capture::PinCategory::Capture, short(2 * i + 1), 0, 0, nullptr), com::S_OK);
  }  // closed at once
}

TEST_F(Preview, TurningThePreviewOnAndOffDoesNotGrow) {
  CCaptureEngine engine;
  auto cycle = [&] {
    ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
    ASSERT_EQ(engine.SaveGrabberBitmap(TempFile("cycle.bmp")), com::S_OK);
    engine.TearDownGraph();
  };
  for (int i = 0; i < 20; ++i) cycle();  // caches, pools and the registry settle first
  // So does the first compressor list (its check of the encoders runs in a program of its own).
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  engine.GetCompressorCount();
  engine.TearDownGraph();
  const long before = ResidentKb();
  for (int i = 0; i < 200; ++i) cycle();
  const long grown = ResidentKb() - before;
  // A graph or a frame kept per cycle would add at least 200 x 230 kB.
  std::printf("resident growth over 200 cycles: %ld kB\n", grown);
#if defined(__SANITIZE_ADDRESS__)
  // AddressSanitizer holds freed memory back; its leak check at exit is the test in that build.
  (void)grown;
#else
  EXPECT_LT(grown, 8 * 1024) << "resident memory grew by " << grown << " kB over 200 cycles";
#endif
}

TEST_F(Preview, StreamErrorsReachTheWindowAsGraphEventsWithTheirCode) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  long code = 0;
  std::intptr_t p1 = 0, p2 = 0;
  EXPECT_EQ(engine.GetEvent(&code, &p1, &p2, 0), com::E_ABORT);  // nothing pending
  const int before = window_.notifies.load();

  // The camera reports that it is in use by someone else (as a real driver may, mid-stream).
  GstElement* source = gst_bin_get_by_name(GST_BIN(engine.FilterGraph()), "Video Capture");
  ASSERT_NE(source, nullptr);
  GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_BUSY, "busy");
  gst_element_post_message(source, gst_message_new_error(GST_OBJECT(source), error, "test"));
  g_error_free(error);
  gst_object_unref(source);

  EXPECT_EQ(window_.notifies.load(), before + 1);
  EXPECT_EQ(window_.lastData.load(), 0) << "live graphs register instance data 0";
  ASSERT_EQ(engine.GetEvent(&code, &p1, &p2, 0), com::S_OK);
  EXPECT_EQ(code, capture::ec::kErrorAbort);
  EXPECT_EQ(capture::HRESULT(p1), com::E_BUSY);
  EXPECT_EQ(engine.GetEvent(&code, &p1, &p2, 0), com::E_ABORT);
  // The grabber still holds the frame from before the failure; it is no photograph of now.
  EXPECT_EQ(engine.SaveGrabberBitmap(TempFile("stale.bmp")), com::E_BUSY);
  EXPECT_FALSE(FileExists(TempFile("stale.bmp")));
  // A new preview starts clean.
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.SaveGrabberBitmap(TempFile("fresh.bmp")), com::S_OK);
}

TEST_F(Preview, CameraThatCannotBeOpenedReportsWhyAndLeavesNoStill) {
  virtcam::Camera broken = Cam("Broken", "smpte75", {"YUY2 640x480@30"});
  broken.source = "v4l2src device=/dev/ornik-test-no-such-camera";
  UseCameras({broken});
  CCaptureEngine engine;
  const capture::HRESULT result = engine.PreviewOnWithGrabber(&window_);
  EXPECT_EQ(result, com::E_DEVICE_NOT_CONNECTED);
  // The grabber is there but never got a frame: the still gives the camera's failure.
  EXPECT_EQ(engine.SaveGrabberBitmap(TempFile("none.bmp")), com::E_DEVICE_NOT_CONNECTED);
  EXPECT_FALSE(FileExists(TempFile("none.bmp")));
}

// A camera that opens but never sends a frame fails the build once: no graph stays behind, so the
// host's following format request fails at once instead of waiting for the camera again.
TEST_F(Preview, CameraThatSendsNothingFailsOnceAndLeavesNoGraph) {
  virtcam::Camera silent = Cam("Silent", "smpte75", {"YUY2 640x480@30"});
  silent.source = "appsrc is-live=true";  // opens, runs, never pushes a buffer
  UseCameras({silent});
  CCaptureEngine engine;
  EXPECT_EQ(engine.PreviewOnWithGrabber(&window_), com::VFW_E_TIMEOUT);
  EXPECT_EQ(engine.FilterGraph(), nullptr);
  EXPECT_EQ(engine.GraphState(), capture::GraphState::None);
  EXPECT_FALSE(engine.IsLiveMode());
  EXPECT_EQ(engine.SetStreamCaps2(capture::PinCategory::Capture, 0, capture::BitmapInfoHeader{}), com::E_FAIL);
  EXPECT_EQ(engine.SaveGrabberBitmap(TempFile("none.bmp")), com::VFW_E_TIMEOUT) << "the camera's failure";
  EXPECT_FALSE(FileExists(TempFile("none.bmp")));
}
