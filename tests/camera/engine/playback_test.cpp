// A still from a played file whose frame never arrives: the host's window does not pass the
// graph's events on, so the wait runs into its time-out. The call fails, and the frame the
// grabber holds is still written, as hosts of the control expect.
#include <QImage>

#include <chrono>

#include <gst/pbutils/pbutils.h>

#include "engine/timeline.h"
#include "engine_fixture.h"
#include "numbered_media.h"

using namespace cameratest;

TEST_F(CameraTest, AStillWhoseFrameNeverArrivesTimesOutAndStillWritesTheGrabbersFrame) {
  const std::string file = TempFile("numbered.avi");
  testmedia::Spec spec;
  spec.frames = 20;
  ASSERT_TRUE(testmedia::WriteNumbered(file, spec));
  CCaptureEngine engine;
  ASSERT_EQ(engine.StillCapStart(file, &window_), com::S_OK);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(engine.SaveFrameAtIndex(TempFile("late.bmp"), 9), com::E_FAIL);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4900));
  EXPECT_GT(window_.notifies.load(), 0);  // the events were there, the window kept them
  const int written = testmedia::ReadNumber(QImage(QString::fromStdString(TempFile("late.bmp"))));
  EXPECT_TRUE(written == 0 || written == 9) << written;
  // A frame format file refuses times, and the time member refuses frames.
  EXPECT_EQ(engine.SaveFrameAtTime(TempFile("t.bmp"), 1000000), com::E_FAIL);
  EXPECT_FALSE(FileExists(TempFile("t.bmp")));
  engine.TearDownGraph();
  EXPECT_EQ(engine.SaveFrameAtIndex(TempFile("none.bmp"), 1), com::E_FAIL);
}

// The profiles a cut render hands to encodebin get "notify" handlers there; when such a profile
// is released, whatever its data list holds goes with it: the data's release functions run for
// the container and for each of its stream profiles, with and without handlers.
TEST(EncodingProfiles, ReleaseTheirDataWithThem) {
  ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
  capture::CompleteEncodingProfileFinalize();
  static int released = 0;
  const GQuark key = g_quark_from_static_string("engine-test-data");
  auto attach = [&](gpointer profile) { g_object_set_qdata_full(G_OBJECT(profile), key, &released, [](gpointer) { ++released; }); };
  for (bool handlers : {true, false}) {
    released = 0;
    GstCaps* avi = gst_caps_from_string("video/x-msvideo");
    GstCaps* bgr = gst_caps_from_string("video/x-raw,format=BGR");
    GstCaps* pcm = gst_caps_from_string("audio/x-raw,format=S16LE");
    GstEncodingContainerProfile* container = gst_encoding_container_profile_new("avi", nullptr, avi, nullptr);
    GstEncodingVideoProfile* video = gst_encoding_video_profile_new(bgr, nullptr, nullptr, 0);
    GstEncodingAudioProfile* audio = gst_encoding_audio_profile_new(pcm, nullptr, nullptr, 0);
    for (gpointer p : {gpointer(container), gpointer(video), gpointer(audio)}) {
      attach(p);
      if (handlers) g_signal_connect(p, "notify::restriction-caps", G_CALLBACK(+[] {}), nullptr);
    }
    gst_encoding_container_profile_add_profile(container, GST_ENCODING_PROFILE(video));
    gst_encoding_container_profile_add_profile(container, GST_ENCODING_PROFILE(audio));
    gst_encoding_profile_unref(container);
    EXPECT_EQ(released, 3) << "with handlers: " << handlers;
    gst_caps_unref(avi);
    gst_caps_unref(bgr);
    gst_caps_unref(pcm);
  }
}
