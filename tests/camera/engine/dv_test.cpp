// DV: the tape transport's commands and timecodes against a fake deck, the camcorder provider,
// and the DV decoder of a live graph on a DV file the test writes.
#include <gst/gst.h>

#include <QThread>

#include "engine/devices.h"
#include "engine/dv_decoder.h"
#include "engine/dv_provider.h"
#include "engine/dv_transport.h"
#include "engine_fixture.h"
#include "fake_devices.h"

using namespace cameratest;
using namespace capture;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::shared_ptr<FakeDeckState> Deck(std::uint8_t signalMode = 0x00) {
  auto d = std::make_shared<FakeDeckState>();
  d->signalMode = signalMode;
  return d;
}

// The track number the deck was told to seek to; -1 when no seek was sent.
long SoughtTrack(const FakeDeckState& d) {
  for (const Bytes& c : d.commands)
    if (c.size() == 8 && c[2] == 0x52) return long(c[4]) | long(c[5]) << 8 | long(c[6]) << 16;
  return -1;
}

HRESULT Seek(const std::shared_ptr<FakeDeckState>& d, int h, int m, int s, int f, int nonDrop, int dvcam) {
  d->commands.clear();
  DvTransport transport(std::make_unique<FakeAvcUnit>(d));
  return SeekTimecode(&transport, h, m, s, f, nonDrop, dvcam);
}

}  // namespace

TEST(DvTransport, EachModeSendsItsTapeCommand) {
  auto deck = Deck();
  DvTransport transport(std::make_unique<FakeAvcUnit>(deck));
  const std::pair<long, Bytes> modes[] = {
      {ed::kModePlay, {0x00, 0x20, 0xC3, 0x75}},          {ed::kModeStop, {0x00, 0x20, 0xC4, 0x60}},
      {ed::kModeFreeze, {0x00, 0x20, 0xC3, 0x7D}},        {ed::kModeFF, {0x00, 0x20, 0xC4, 0x75}},
      {ed::kModeRew, {0x00, 0x20, 0xC4, 0x65}},           {ed::kModeRecord, {0x00, 0x20, 0xC2, 0x75}},
      {ed::kModeStepFwd, {0x00, 0x20, 0xC3, 0x30}},       {ed::kModeRecordFreeze, {0x00, 0x20, 0xC2, 0x7D}},
      {ed::kModeStepRev, {0x00, 0x20, 0xC3, 0x40}},       {ed::kModePlayFastestFwd, {0x00, 0x20, 0xC3, 0x3F}},
      {ed::kModePlaySlowestFwd, {0x00, 0x20, 0xC3, 0x31}}, {ed::kModePlayFastestRev, {0x00, 0x20, 0xC3, 0x4F}},
      {ed::kModePlaySlowestRev, {0x00, 0x20, 0xC3, 0x41}}, {ed::kModeRevPlay, {0x00, 0x20, 0xC3, 0x65}},
  };
  for (const auto& [mode, bytes] : modes) {
    SCOPED_TRACE(mode);
    deck->commands.clear();
    EXPECT_EQ(transport.PutMode(mode), com::S_OK);
    ASSERT_EQ(deck->commands.size(), 1u);
    EXPECT_EQ(deck->commands[0], bytes);
  }
  deck->commands.clear();
  EXPECT_EQ(transport.PutMode(4299), com::E_INVALIDARG);
  EXPECT_TRUE(deck->commands.empty());
}

TEST(DvTransport, SeekTurnsTheTimecodeIntoTheAbsoluteTrackNumber) {
  auto ntsc = Deck(0x00), pal = Deck(0x80);
  EXPECT_EQ(Seek(ntsc, 0, 1, 0, 0, 0, 0), com::S_OK);
  EXPECT_EQ(SoughtTrack(*ntsc), 20 * 1798);
  EXPECT_EQ(Seek(ntsc, 0, 1, 0, 0, 1, 0), com::S_OK);
  EXPECT_EQ(SoughtTrack(*ntsc), 20 * 1800);
  EXPECT_EQ(Seek(ntsc, 0, 10, 0, 0, 0, 0), com::S_OK);
  EXPECT_EQ(SoughtTrack(*ntsc), 20 * 17982);  // two frames back at the tenth minute
  EXPECT_EQ(Seek(ntsc, 0, 10, 0, 0, 0, 1), com::S_OK);
  EXPECT_EQ(SoughtTrack(*ntsc), 359640 * 3 / 2);
  EXPECT_EQ(Seek(ntsc, 0, 0, 1, 0, 0, 1), com::S_OK);
  EXPECT_EQ(SoughtTrack(*ntsc), 900);
  EXPECT_EQ(Seek(pal, 0, 0, 1, 0, 0, 1), com::S_OK);
  EXPECT_EQ(SoughtTrack(*pal), 600);
  // The whole command: control, tape subunit, ABSOLUTE TRACK NUMBER, the 24-bit number, 0xFF.
  EXPECT_EQ(pal->commands.back(), (Bytes{0x00, 0x20, 0x52, 0x20, 0x58, 0x02, 0x00, 0xFF}));
  // A 525-line tape refuses other nNonDrop and nDVCAM values before sending anything.
  EXPECT_EQ(Seek(ntsc, 0, 1, 0, 0, 2, 0), com::E_FAIL);
  EXPECT_EQ(SoughtTrack(*ntsc), -1);
  EXPECT_EQ(Seek(ntsc, 0, 1, 0, 0, 0, 2), com::E_FAIL);
  EXPECT_EQ(SoughtTrack(*ntsc), -1);
  // A 625-line tape does not look at them.
  EXPECT_EQ(Seek(pal, 0, 1, 0, 0, 2, 2), com::S_OK);
  EXPECT_EQ(SoughtTrack(*pal), 24 * 25 * 60);
}

TEST(DvTransport, SeekRefusesNoTapeFieldsOutOfRangeAndTracksBeyond24Bits) {
  auto ntsc = Deck(0x00), pal = Deck(0x84);
  ntsc->tape = false;
  EXPECT_EQ(Seek(ntsc, 0, 1, 0, 0, 0, 0), com::E_FAIL);
  EXPECT_EQ(SoughtTrack(*ntsc), -1);
  ntsc->tape = true;
  for (auto [h, m, s, f] : {std::array{0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 30}, {24, 0, 0, 0}, {-1, 0, 0, 0}}) {
    EXPECT_EQ(Seek(ntsc, h, m, s, f, 1, 0), com::E_INVALIDARG);
    EXPECT_EQ(SoughtTrack(*ntsc), -1);
  }
  EXPECT_EQ(Seek(pal, 0, 0, 0, 25, 0, 0), com::E_INVALIDARG);
  EXPECT_EQ(Seek(pal, 0, 0, 0, 24, 0, 0), com::S_OK);
  // A DVCAM 525 track number outgrows 24 bits after 5:10:41 (900 tracks a second).
  EXPECT_EQ(Seek(ntsc, 6, 0, 0, 0, 1, 1), com::E_INVALIDARG);
  EXPECT_EQ(SoughtTrack(*ntsc), -1);
  EXPECT_EQ(Seek(ntsc, 5, 0, 0, 0, 1, 1), com::S_OK);
  EXPECT_EQ(SoughtTrack(*ntsc), 900 * 5 * 3600);
  EXPECT_EQ(Seek(pal, 23, 59, 59, 24, 0, 0), com::E_INVALIDARG);
}

TEST(DvTransport, TimecodeIsReadAsBcd) {
  long h = 0, m = 0, s = 0, f = 0;
  ASSERT_EQ(DecodeTimecode(0x01234529, &h, &m, &s, &f), com::S_OK);
  EXPECT_EQ(std::vector<long>({h, m, s, f}), std::vector<long>({1, 23, 45, 29}));
  EXPECT_EQ(DecodeTimecode(0xFFFFFFFF, &h, &m, &s, &f), com::E_FAIL);  // a blank tape's answer
  EXPECT_EQ(h, 1);
  auto deck = Deck();
  deck->timecode = 0x12000510;
  DvTransport transport(std::make_unique<FakeAvcUnit>(deck));
  std::uint32_t bcd = 0;
  ASSERT_EQ(transport.GetTimecode(&bcd), com::S_OK);
  EXPECT_EQ(bcd, 0x12000510u);
  EXPECT_EQ(deck->commands.back(), (Bytes{0x01, 0x20, 0x51, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}));
}

class DvGraph : public CameraTest {
 protected:
  // A DV system stream with sound, 720 x 480 at 29.97 frames a second, written with GStreamer.
  std::string WriteDvFile(int frames) {
    const std::string path = TempFile("tape.dv");
    const std::string n = std::to_string(frames);
    GError* error = nullptr;
    GstElement* p = gst_parse_launch(
        ("videotestsrc num-buffers=" + n + " ! video/x-raw,width=720,height=480,framerate=30000/1001 ! videoconvert ! "
         "avenc_dvvideo ! mux. audiotestsrc num-buffers=" + n + " samplesperbuffer=1600 ! "
         "audio/x-raw,rate=48000,channels=2,format=S16LE ! mux. avmux_dv name=mux ! filesink location=" + path)
            .c_str(),
        &error);
    EXPECT_TRUE(p) << (error ? error->message : "");
    if (!p) return path;
    gst_element_set_state(p, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(p);
    GstMessage* m = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    EXPECT_TRUE(m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS);
    if (m) gst_message_unref(m);
    gst_object_unref(bus);
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
    return path;
  }
  // A camcorder that plays the file as its system stream.
  void UseCamcorder(const std::string& file) {
    virtcam::Camera cam = Cam("DV Camcorder", "smpte", {"video/x-dv,systemstream=true,width=720,height=480,framerate=30000/1001"});
    cam.source = "filesrc location=" + file;
    UseCameras({cam});
  }
};

// A file-backed system stream: on a busy machine the pipeline's thread is slow to get from the
// decoder's inner elements to the decoder's own pads; the stream must still reach the sink. The
// bus handler holds that thread there for a while.
TEST_F(DvGraph, AFileBackedSystemStreamPrerollsWhenTheDecoderIsSlowToBeActivated) {
  const std::string file = WriteDvFile(30);
  GstElement* pipeline = gst_pipeline_new("DV File");
  GstElement* source = gst_element_factory_make("filesrc", nullptr);
  GstElement* decoder = CreateDvDecoder(true, kDvResolutionFull);
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  ASSERT_TRUE(pipeline && source && decoder && sink);
  g_object_set(source, "location", file.c_str(), nullptr);
  gst_bin_add_many(GST_BIN(pipeline), source, decoder, sink, nullptr);
  ASSERT_TRUE(gst_element_link_many(source, decoder, sink, nullptr));
  GstBus* bus = gst_element_get_bus(pipeline);
  gst_bus_set_sync_handler(
      bus,
      [](GstBus*, GstMessage* m, gpointer) {
        GstState from = GST_STATE_NULL, to = GST_STATE_NULL;
        if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_STATE_CHANGED && GST_MESSAGE_SRC(m) &&
            g_strcmp0(GST_OBJECT_NAME(GST_MESSAGE_SRC(m)), "dvdemux") == 0) {
          gst_message_parse_state_changed(m, &from, &to, nullptr);
          if (from == GST_STATE_READY && to == GST_STATE_PAUSED) g_usleep(300 * 1000);
        }
        return GST_BUS_PASS;
      },
      nullptr, nullptr);
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  EXPECT_EQ(gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND), GST_STATE_CHANGE_SUCCESS);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_object_unref(pipeline);
}

TEST_F(DvGraph, ResolutionRebuildsTheGrabberPreviewAndTheTeardownResetsIt) {
  UseCamcorder(WriteDvFile(150));
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  short r = 0;
  ASSERT_EQ(engine.GetDVDecResolution(&r), com::S_OK);
  EXPECT_EQ(r, 1000);
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 720);
  EXPECT_EQ(engine.GrabberFrameHeader().biHeight, 480);
  // The sound of the system stream waits, unconnected, on the decoder.
  ElementPtr decoder = FindDvDecoder(engine.FilterGraph());
  ASSERT_TRUE(decoder);
  EXPECT_TRUE(PadPtr(gst_element_get_static_pad(decoder.get(), "audio")));
  decoder.reset();

  ASSERT_EQ(engine.SetDVDecResolution(1001), com::S_OK);
  EXPECT_EQ(engine.GraphState(), GraphState::LiveWithGrabber);
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 360);
  EXPECT_EQ(engine.GrabberFrameHeader().biHeight, 240);
  ASSERT_EQ(engine.GetDVDecResolution(&r), com::S_OK);
  EXPECT_EQ(r, 1001);
  EXPECT_EQ(engine.SetDVDecResolution(1003), com::S_OK);
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 90);
  EXPECT_EQ(engine.SetDVDecResolution(1004), com::E_INVALIDARG);
  EXPECT_EQ(engine.StoredDVDecResolution(), 1003);

  engine.TearDownGraph();
  EXPECT_EQ(engine.StoredDVDecResolution(), 1000);
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 720);
}

TEST_F(DvGraph, ACamcorderGetsPlayAtBuildAndTakesTheHostsTransportCommands) {
  UseCamcorder(WriteDvFile(60));
  auto deck = Deck();
  deck->timecode = 0x01234529;
  CCaptureEngine engine;
  engine.SetDeviceBackends(FakeBackends(nullptr, deck));
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_FALSE(deck->commands.empty());
  EXPECT_EQ(deck->commands[0], (Bytes{0x00, 0x20, 0xC3, 0x75}));
  EXPECT_EQ(engine.VcrMode(ed::kModeRew), com::S_OK);
  EXPECT_EQ(deck->commands.back(), (Bytes{0x00, 0x20, 0xC4, 0x65}));
  EXPECT_EQ(engine.VcrSeekTimecode(0, 10, 0, 0, 0, 0), com::S_OK);
  EXPECT_EQ(SoughtTrack(*deck), 359640);
  long h = 0, m = 0, s = 0, f = 0;
  ASSERT_EQ(engine.VcrGetTimecode(&h, &m, &s, &f), com::S_OK);
  EXPECT_EQ(std::vector<long>({h, m, s, f}), std::vector<long>({1, 23, 45, 29}));
  engine.TearDownGraph();
  EXPECT_EQ(engine.VcrMode(ed::kModePlay), com::E_FAIL);
}

// A camcorder's sound comes with its picture: a recording with sound takes it from the DV decoder,
// with no audio input device in the machine, and the preview keeps its sound pad for the next.
TEST_F(DvGraph, RecordingWithSoundTakesTheCamcordersOwnSound) {
  UseCamcorder(WriteDvFile(150));
  virtcam::SetMicrophones({});
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetCaptureFile(TempFile("dv.avi"), true), com::S_OK);
  EXPECT_EQ(engine.GetAudioLineCount(), 1);
  ASSERT_EQ(engine.RecStart(), com::S_OK);
  QThread::msleep(1000);
  ASSERT_EQ(engine.RecStop(), com::S_OK);
  ASSERT_EQ(engine.SetCaptureFile(TempFile("dv2.avi"), true), com::S_OK) << "the sound pad is free again";
  engine.TearDownGraph();
  const Decoded d = Decode(TempFile("dv.avi"));
  ASSERT_TRUE(d.ok);
  EXPECT_TRUE(d.audio);
  // The tape here is a file read faster than it plays: how much of it the stretch holds is not
  // the stretch's length, only that picture and sound reached the file.
  EXPECT_GT(d.frames, 0);
}

TEST(DvProvider, CamcordersAreVideoSourcesThatCreateDv1394src) {
  ASSERT_TRUE(EnsureGstInit());
  EXPECT_TRUE(RegisterDvProvider());
  GstDeviceProviderFactory* factory = gst_device_provider_factory_find("ornikdv1394deviceprovider");
  ASSERT_TRUE(factory);
  gst_object_unref(factory);
  GstDevice* device = GST_DEVICE(gst_object_ref_sink(NewDvDevice(0x0080880012345678ull, "DV Deck")));
  EXPECT_TRUE(gst_device_has_classes(device, "Video/Source"));
  gchar* name = gst_device_get_display_name(device);
  EXPECT_STREQ(name, "DV Deck");
  g_free(name);
  GstElement* source = gst_device_create_element(device, "Video Capture");
  ASSERT_TRUE(source);
  EXPECT_STREQ(GST_OBJECT_NAME(gst_element_get_factory(source)), "dv1394src");
  guint64 guid = 0;
  g_object_get(source, "guid", &guid, nullptr);
  EXPECT_EQ(guid, 0x0080880012345678ull);
  // Its transport is looked for by that GUID; this machine has no bus, so there is none.
  EXPECT_EQ(OpenAvcUnit(source), nullptr);
  gst_object_unref(gst_object_ref_sink(source));
  gst_object_unref(device);
}
