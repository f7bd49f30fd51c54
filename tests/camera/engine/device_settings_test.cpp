// Picture quality, TV standard, routing and property pages of a live source, over a fake V4L2
// control set.
#include "engine/device_settings.h"
#include "engine_fixture.h"
#include "fake_devices.h"

using namespace cameratest;
using capture::E_PROP_ID_UNSUPPORTED;

namespace {

// A capture card: every control but gamma, three analog inputs, PAL and NTSC.
std::shared_ptr<FakeV4l2State> CaptureCard() {
  auto s = std::make_shared<FakeV4l2State>();
  const std::uint32_t cids[] = {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_HUE, V4L2_CID_SATURATION,
                                V4L2_CID_SHARPNESS, V4L2_CID_WHITE_BALANCE_TEMPERATURE,
                                V4L2_CID_BACKLIGHT_COMPENSATION, V4L2_CID_GAIN};
  std::int32_t n = 1;
  for (std::uint32_t cid : cids) {  // each control its own range, so a wrong mapping shows
    s->ranges[cid] = {-n, 100 * n, n, 10 * n};
    s->values[cid] = 5 * n;
    ++n;
  }
  s->ranges[V4L2_CID_COLORFX] = {0, 15, 1, V4L2_COLORFX_NONE};
  s->values[V4L2_CID_COLORFX] = V4L2_COLORFX_BW;
  s->standards = {V4L2_STD_NTSC_M, V4L2_STD_NTSC_M_JP, V4L2_STD_PAL_BG};
  s->standard = V4L2_STD_NTSC_M;
  s->inputs = {{"Television", V4L2_INPUT_TYPE_TUNER, V4L2_STD_ALL},
               {"Composite1", V4L2_INPUT_TYPE_CAMERA, V4L2_STD_ALL},
               {"S-Video", V4L2_INPUT_TYPE_CAMERA, V4L2_STD_ALL},
               {"Line 4", V4L2_INPUT_TYPE_CAMERA, V4L2_STD_ALL}};
  s->bus = "PCI:0000:03:00.0";
  return s;
}

struct RecordingFrame final : capture::IPropertyFrame {
  void Show(capture::PropertySheet& sheet) override {
    captions.push_back(sheet.caption);
    names.clear();
    for (capture::PropertyItem& item : sheet.items) {
      names.push_back(item.name);
      auto it = edits.find(item.name);
      if (it != edits.end()) item.apply(it->second);
    }
  }
  std::vector<QString> captions;
  std::vector<QString> names;
  std::map<QString, long> edits;
};

}  // namespace

class DeviceSettings : public CameraTest {};

TEST_F(DeviceSettings, EveryQualityPropertyReadsAndWritesItsOwnV4l2Control) {
  auto card = CaptureCard();
  CCaptureEngine engine;
  engine.SetDeviceBackends(FakeBackends(card, nullptr));
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  const std::pair<long, std::uint32_t> mapping[] = {
      {0, V4L2_CID_BRIGHTNESS}, {1, V4L2_CID_CONTRAST}, {2, V4L2_CID_HUE}, {3, V4L2_CID_SATURATION},
      {4, V4L2_CID_SHARPNESS}, {7, V4L2_CID_WHITE_BALANCE_TEMPERATURE}, {8, V4L2_CID_BACKLIGHT_COMPENSATION},
      {9, V4L2_CID_GAIN}};
  for (auto [prop, cid] : mapping) {
    SCOPED_TRACE(prop);
    long min = 0, max = 0, step = 0, def = 0, value = 0;
    ASSERT_EQ(engine.GetVideoQuality(prop, &min, &max, &step, &def, &value), com::S_OK);
    const capture::V4l2Range& r = card->ranges[cid];
    EXPECT_EQ(std::vector<long>({min, max, step, def, value}),
              std::vector<long>({r.minimum, r.maximum, r.step, r.defaultValue, card->values[cid]}));
    EXPECT_EQ(engine.SetVideoQuality(prop, r.maximum), com::S_OK);
    EXPECT_EQ(card->values[cid], r.maximum);
    EXPECT_EQ(engine.SetVideoQuality(prop, r.maximum + 1), com::E_INVALIDARG);
    EXPECT_EQ(card->values[cid], r.maximum);
  }
  // Colour enable is the colour effect: black and white reads 0, enabling it turns the effect off.
  long min = 0, max = 0, step = 0, def = 0, value = -1;
  ASSERT_EQ(engine.GetVideoQuality(6, &min, &max, &step, &def, &value), com::S_OK);
  EXPECT_EQ(std::vector<long>({min, max, step, def, value}), std::vector<long>({0, 1, 1, 1, 0}));
  EXPECT_EQ(engine.SetVideoQuality(6, 1), com::S_OK);
  EXPECT_EQ(card->values[V4L2_CID_COLORFX], V4L2_COLORFX_NONE);
  // Gamma the card lacks, and numbers beyond the ten.
  EXPECT_EQ(engine.GetVideoQuality(5, &min, &max, &step, &def, &value), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(engine.SetVideoQuality(10, 0), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(engine.GetVideoQuality(-1, &min, &max, &step, &def, &value), E_PROP_ID_UNSUPPORTED);
}

TEST_F(DeviceSettings, TvStandardIsSetToNtscJapanAtBuildAndFollowsTheHost) {
  auto card = CaptureCard();
  CCaptureEngine engine;
  engine.SetDeviceBackends(FakeBackends(card, nullptr));
  ASSERT_EQ(engine.PreviewOn(&window_), com::S_OK);
  EXPECT_EQ(card->standard, V4L2_STD_NTSC_M_JP);
  long v = 0;
  ASSERT_EQ(engine.GetAvailableTVFormat(&v), com::S_OK);
  EXPECT_EQ(v, 0x1 | 0x2 | 0x10 | 0x40);  // NTSC M, NTSC M J, PAL B, PAL G
  ASSERT_EQ(engine.GetTVFormat(&v), com::S_OK);
  EXPECT_EQ(v, 0x2);
  EXPECT_EQ(engine.SetTVFormat(0x10), com::S_OK);
  EXPECT_EQ(card->standard, V4L2_STD_PAL_B);
  EXPECT_EQ(engine.SetTVFormat(0x10 | 0x40), com::E_INVALIDARG);  // one standard at a time
  EXPECT_EQ(card->standard, V4L2_STD_PAL_B);
}

TEST_F(DeviceSettings, RoutingNamesItsConnectorsAndSwitchesTheInput) {
  auto card = CaptureCard();
  CCaptureEngine engine;
  engine.SetDeviceBackends(FakeBackends(card, nullptr));
  ASSERT_EQ(engine.PreviewOn(&window_), com::S_OK);
  long n = -1;
  ASSERT_EQ(engine.GetPinCounts(true, &n), com::S_OK);
  EXPECT_EQ(n, 4);
  ASSERT_EQ(engine.GetPinCounts(false, &n), com::S_OK);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(engine.GetPinName(true, 0), "Video Tuner");
  EXPECT_EQ(engine.GetPinName(true, 1), "Video Composite");
  EXPECT_EQ(engine.GetPinName(true, 2), "S-Video");
  EXPECT_EQ(engine.GetPinName(true, 3), "Unknown Type");  // an input of no known kind on a card
  EXPECT_EQ(engine.GetPinName(true, 4), "Unknown Type");
  EXPECT_EQ(engine.GetPinName(false, 0), "Video Decoder");
  EXPECT_EQ(engine.GetPinName(false, 1), "Unknown Type");
  EXPECT_EQ(engine.SetRoute(0, 2), com::S_OK);
  EXPECT_EQ(card->input, 2);
  ASSERT_EQ(engine.IsRoutedTo(0, &n), com::S_OK);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(engine.SetRoute(0, 4), com::E_INVALIDARG);
  EXPECT_EQ(engine.SetRoute(1, 0), com::E_INVALIDARG);
  EXPECT_EQ(card->input, 2);
  EXPECT_EQ(capture::ConnectorName(4105), "Audio Decoder");
  EXPECT_EQ(capture::ConnectorName(14), "Unknown Type");
  EXPECT_EQ(capture::ConnectorName(15), "Unknown Type");
}

TEST_F(DeviceSettings, AUsbCameraHasNoRoutingAndNoStandards) {
  auto cam = std::make_shared<FakeV4l2State>();
  cam->inputs = {{"Camera 1", V4L2_INPUT_TYPE_CAMERA, 0}};
  cam->ranges[V4L2_CID_BRIGHTNESS] = {0, 255, 1, 128};
  CCaptureEngine engine;
  engine.SetDeviceBackends(FakeBackends(cam, nullptr));
  ASSERT_EQ(engine.PreviewOn(&window_), com::S_OK);
  long n = -1;
  EXPECT_EQ(engine.GetPinCounts(true, &n), com::E_NOINTERFACE);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(engine.GetPinName(true, 0), "Unknown Type");
  EXPECT_EQ(engine.GetTVFormat(&n), com::E_FAIL);
  EXPECT_EQ(engine.SetVideoQuality(0, 200), com::S_OK);
  EXPECT_EQ(cam->values[V4L2_CID_BRIGHTNESS], 200);
}

TEST_F(DeviceSettings, WithoutDeviceOrGraphEverythingFails) {
  CCaptureEngine engine;  // the real backends: a virtual camera is no V4L2 device, nor a deck
  long v = 0, n = -1;
  EXPECT_EQ(engine.GetPinName(true, 0), QString());
  EXPECT_EQ(engine.GetPinCounts(true, &n), com::E_FAIL);
  EXPECT_EQ(engine.CaptureFilterProperty(), com::E_FAIL);
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.GetVideoQuality(0, &v, &v, &v, &v, &v), com::E_FAIL);
  EXPECT_EQ(engine.SetVideoQuality(0, 1), com::E_FAIL);
  EXPECT_EQ(engine.GetAvailableTVFormat(&v), com::E_FAIL);
  EXPECT_EQ(engine.SetTVFormat(2), com::E_FAIL);
  EXPECT_EQ(engine.VcrMode(capture::ed::kModePlay), com::E_FAIL);
  EXPECT_EQ(engine.VcrSeekTimecode(0, 1, 0, 0, 0, 0), com::E_FAIL);
  EXPECT_EQ(engine.VcrGetTimecode(&v, &v, &v, &v), com::E_FAIL);
  short r = 7;
  EXPECT_EQ(engine.GetDVDecResolution(&r), com::E_NOINTERFACE);  // a graph, but no DV decoder
  EXPECT_EQ(engine.SetDVDecResolution(1001), com::E_NOINTERFACE);
  EXPECT_EQ(r, 7);
  engine.TearDownGraph();
  EXPECT_EQ(engine.GetDVDecResolution(&r), com::E_FAIL);
  EXPECT_EQ(r, 7);
}

TEST_F(DeviceSettings, PropertyPagesShowTheDeviceAndApplyWhatTheUserChanged) {
  auto card = CaptureCard();
  RecordingFrame frame;
  CCaptureEngine engine;
  engine.SetDeviceBackends(FakeBackends(card, nullptr));
  EXPECT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.CaptureFilterProperty(), com::E_FAIL);  // no frame to show them in
  engine.SetPropertyFrame(&frame);
  frame.edits = {{"Brightness", 42}, {"Video Decoder In", 3}};
  EXPECT_EQ(engine.CaptureFilterProperty(), com::S_OK);
  EXPECT_EQ(frame.names.size(), 9u);  // the card has no gamma
  EXPECT_EQ(card->values[V4L2_CID_BRIGHTNESS], 42);
  EXPECT_EQ(engine.CrossbarFilterProperty(), com::S_OK);
  EXPECT_EQ(card->input, 3);
  // A pin's page leaves the grabber preview running again, with its frame size.
  EXPECT_EQ(engine.PinProperty(capture::PinCategory::Capture), com::S_OK);
  EXPECT_EQ(engine.GraphState(), capture::GraphState::LiveWithGrabber);
  EXPECT_GT(engine.GrabberFrameHeader().biWidth, 0);
  EXPECT_EQ(engine.DvDecFilterProperty(), com::E_FAIL);  // no DV decoder in the graph
  EXPECT_EQ(frame.captions, (std::vector<QString>{"Video Capture", "Crossbar", "Capture Pin "}));
}
