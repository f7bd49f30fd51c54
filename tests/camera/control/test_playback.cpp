// Played files through the control's members, in this process: frame counts, part play and its
// end, rates, pause and stop, the rewind at the end with GraphNotify, the grabber callback, exact
// stills as BMP and JPEG (decoded back, their painted number read), stills after a live preview,
// the files without a fixed frame rate, the control's own recordings (those cut by a full disk
// too), the host's calls during a still's wait, and cuts of a timeline to AVI and WAV (other
// writers' files among them, slow and failing renders).
#include <gst/gst.h>

#include <sys/statvfs.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "CaptureDlg.h"
#include "OrnikCtrl.h"
#include "OrnikDispIds.h"
#include "OrnikIds.h"
#include "engine/asf_packets.h"
#include "engine/capture_engine.h"
#include "engine/devices.h"
#include "numbered_media.h"
#include "ornik_fixture.h"
#include "support/support_program.h"
#include "virtcam.h"

using namespace com;
namespace id = ornik::dispid;

namespace {

// The files every test plays, written once.
struct Media {
  QTemporaryDir dir;
  std::string mjpeg, raw, h264, oddWidth, noRate, withSound;
  std::string Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
};

Media* media = nullptr;

class Playback : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(capture::EnsureGstInit());
    media = new Media;
    media->mjpeg = media->Path("mjpeg.avi");
    media->raw = media->Path("raw.avi");
    media->h264 = media->Path("h264.avi");
    media->oddWidth = media->Path("odd.avi");
    media->noRate = media->Path("norate.mkv");
    media->withSound = media->Path("sound.avi");
    testmedia::Spec s;
    ASSERT_TRUE(testmedia::WriteNumbered(media->mjpeg, s));
    s.codec = "raw";
    s.frames = 30;
    ASSERT_TRUE(testmedia::WriteNumbered(media->raw, s));
    s.codec = "h264";
    s.frames = 60;
    ASSERT_TRUE(testmedia::WriteNumbered(media->h264, s));
    s = {};
    s.width = 318;  // rows of 954 bytes: padded in the grabber
    // H.264: jpegenc would code the edge of its last 16-pixel block from the converter's unwritten
    // row padding, and valgrind would follow those bytes through every element after it.
    s.codec = "h264";
    ASSERT_TRUE(testmedia::WriteNumbered(media->oddWidth, s));
    s = {};
    s.fps = 0;
    s.container = "mkv";
    ASSERT_TRUE(testmedia::WriteNumbered(media->noRate, s));
    s = {};
    s.frames = 150;
    s.width = 256;
    s.height = 144;
    s.audio = true;
    ASSERT_TRUE(testmedia::WriteNumbered(media->withSound, s));
  }
  static void TearDownTestSuite() {
    delete media;
    media = nullptr;
  }

  void SetUp() override {
    parent_.resize(400, 300);
    parent_.show();
    ASSERT_EQ(COrnikCtrl::CreateObject(IID_IDispatch, dispatch_.PutVoid()), S_OK);
    ctrl_ = static_cast<COrnikCtrl*>(dispatch_.Get());
    ASSERT_EQ(ctrl_->CreateControlWindow(&parent_, QRect(0, 0, 320, 240)), S_OK);
    sink_ = EventSink::Create([this](DISPID n, std::span<Variant> args) {
      std::lock_guard lock(mutex_);
      if (n == ornik::DISPID_GraphNotify) notifies_.push_back(args[0].I2());
      else if (n == ornik::DISPID_TimelinePos) positions_.push_back(args[0].I2());
      else if (n == ornik::DISPID_SGCallBack) {
        ++samples_;
        for (Variant& a : args) {
          if (a.Type() == VT_I4) lastSampleSize_ = a.I4();
          else if (a.IsByRef() && a.BaseType() == VT_UI1 && a.RefCount() == 320 * 3 * 240)
            sampleFrames_.push_back(NumberInGrabberRows(a.RefAs<std::uint8_t>(), 320, 240));
        }
      }
      if (onEvent_) onEvent_(n);
    });
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(dispatch_.As(IID_IConnectionPointContainer, cpc), S_OK);
    ASSERT_EQ(cpc->FindConnectionPoint(ornik::DIID__DOrnikEvents, cp_.Put()), S_OK);
    ASSERT_EQ(cp_->Advise(sink_.Get(), &cookie_), S_OK);
  }
  void TearDown() override {
    if (cp_) cp_->Unadvise(cookie_);
  }

  Variant Call(DISPID n, std::vector<Variant> args = {}, HRESULT* hr = nullptr) {
    Variant r;
    const HRESULT call =
        dispatch_->Invoke(n, DISPATCH_METHOD, args.data(), std::uint32_t(args.size()), &r, nullptr);
    if (hr) *hr = call;
    else EXPECT_EQ(call, S_OK);
    return r;
  }
  static Variant Str(const std::string& s) { return Variant(QString::fromStdString(s)); }
  static Variant I4(std::int32_t v) { return Variant(v); }

  CCaptureEngine* Engine() { return ctrl_->m_pDlg->Engine(); }
  // The number of the frame the window shows now.
  int Shown() {
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    Engine()->RepaintVideo(painter);
    return testmedia::ReadNumber(image);
  }
  bool WaitShown(int frame, int ms = 3000) {
    return QTest::qWaitFor([&] { return Shown() == frame; }, ms);
  }
  // Grabber rows of 24-bit pixels, bottom-up, each padded to 4 bytes.
  static int NumberInGrabberRows(const std::uint8_t* rows, int w, int h) {
    const QImage bottomUp(rows, w, h, (w * 3 + 3) & ~3, QImage::Format_BGR888);
    return testmedia::ReadNumber(bottomUp.mirrored());
  }
  bool WaitNotify(short code, int ms = 5000) {
    return QTest::qWaitFor(
        [&] {
          std::lock_guard lock(mutex_);
          return std::find(notifies_.begin(), notifies_.end(), code) != notifies_.end();
        },
        ms);
  }
  void ClearEvents() {
    std::lock_guard lock(mutex_);
    notifies_.clear();
    positions_.clear();
  }
  // The rate of the graph's current segment.
  double GraphRate() {
    GstQuery* q = gst_query_new_segment(GST_FORMAT_TIME);
    double rate = 0;
    if (gst_element_query(Engine()->FilterGraph(), q)) gst_query_parse_segment(q, &rate, nullptr, nullptr, nullptr);
    gst_query_unref(q);
    return rate;
  }
  std::int32_t PlayStart(const std::string& file) {
    std::int32_t frames = 0;
    EXPECT_EQ(Call(id::DVCPlayStart, {Str(file), Variant::Ref(&frames)}).I4(), S_OK);
    return frames;
  }
  // The only camera: one of 320 x 240 at 30 frames a second showing `pattern` (snow: every
  // frame another).
  static bool UseOnlyCamera(const char* name = "Snow", const char* pattern = "snow") {
    if (!virtcam::Register()) return false;
    virtcam::HideRealProviders();
    virtcam::Camera cam;
    cam.name = name;
    cam.pattern = pattern;
    cam.modes = {"I420 320x240@30"};
    virtcam::SetCameras({cam});
    return true;
  }
  std::string Temp(const char* name) { return dir_.filePath(QString::fromLatin1(name)).toStdString(); }
  std::string Temp(const std::string& name) { return Temp(name.c_str()); }
  // Cuts 0.4 s to 1 s (frames 10 to 24 at 25 a second) of a 30-frame source into `cut`; every frame
  // of the cut must be the source's frame at its place, as `from` holds them decoded, in every
  // column (the last of an odd width too).
  void ExpectCutOfFrames10To24(const std::string& source, const std::vector<QImage>& from, const std::string& cut,
                               bool compressed) {
    const std::string timeline = cut + ".xges";
    ASSERT_EQ(Call(id::DVCEdSetStartStop, {Str(source), Str(timeline), I4(400), I4(1000)}).I4(), S_OK);
    ASSERT_EQ(Call(id::DVCEdFileCut, {Str(cut), Str(timeline), Variant::Bool(compressed)}).I4(), S_OK);
    const std::vector<QImage> got = testmedia::DecodeFrames(cut);
    ASSERT_EQ(from.size(), 30u);
    ASSERT_EQ(got.size(), 15u);
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(testmedia::ReadNumber(got[i]), int(i) + 10) << "frame " << i;
      EXPECT_LE(testmedia::MeanDifference(got[i], from[i + 10]), 2.0) << "frame " << i;
      EXPECT_LE(WorstColumnDifference(got[i], from[i + 10]), 8.0) << "frame " << i;
    }
  }
  // The largest mean difference of one column of two pictures of the same size.
  static double WorstColumnDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 255;
    double worst = 0;
    for (int x = 0; x < a.width(); ++x)
      worst = std::max(worst, testmedia::MeanDifference(a.copy(x, 0, 1, a.height()), b.copy(x, 0, 1, b.height())));
    return worst;
  }

  QWidget parent_;
  ComPtr<IDispatch> dispatch_;
  COrnikCtrl* ctrl_ = nullptr;
  ComPtr<EventSink> sink_;
  ComPtr<IConnectionPoint> cp_;
  std::uint32_t cookie_ = 0;
  std::mutex mutex_;
  std::vector<short> notifies_;
  std::vector<short> positions_;
  std::vector<int> sampleFrames_;  // the number painted in each SGCallBack's frame of 320 x 240
  std::atomic<int> samples_{0};
  std::atomic<std::int32_t> lastSampleSize_{0};
  std::function<void(DISPID)> onEvent_;
  QTemporaryDir dir_;
};

}  // namespace

TEST_F(Playback, FrameCountsAndPartPlayBounds) {
  EXPECT_EQ(PlayStart(media->mjpeg), 50);
  EXPECT_EQ(Call(id::DVCGetFrameNum).I4(), 50);
  EXPECT_EQ(Call(id::DVCIsAbsoluteSeek).I4(), 1);
  std::int32_t h = 0, l = 0;
  EXPECT_EQ(Call(id::DVCGetMediaTime, {Variant::Ref(&h), Variant::Ref(&l)}).I4(), E_FAIL);  // frame format
  EXPECT_EQ(h, -1);
  EXPECT_EQ(Call(id::DVCGetTime, {Variant::Ref(&h), Variant::Ref(&l)}).I4(), E_FAIL);
  EXPECT_EQ(Call(id::DVCDoPlayPart, {I4(0), I4(50)}).I4(), E_FAIL);
  EXPECT_EQ(Call(id::DVCDoPlayPart, {I4(5), I4(4)}).I4(), E_FAIL);
  EXPECT_EQ(Call(id::DVCDoPlayPart, {I4(-1), I4(3)}).I4(), E_FAIL);
  EXPECT_EQ(Call(id::DVCDoPlayPart2, {I4(0), I4(0), I4(0), I4(1000)}).I4(), E_FAIL);  // not in 100-ns units
  // A second file while one plays is refused; the first plays on.
  std::int32_t frames = 0;
  EXPECT_EQ(Call(id::DVCPlayStart, {Str(media->raw), Variant::Ref(&frames)}).I4(), VFW_E_WRONG_STATE);
  EXPECT_EQ(Call(id::DVCGetFrameNum).I4(), 50);
  // The stored length outlives the graph.
  Call(id::DVCPlayStop);
  EXPECT_EQ(Call(id::DVCGetFrameNum).I4(), 50);
  EXPECT_EQ(Call(id::DVCGetPosition).I4(), 0);
}

TEST_F(Playback, PartPlayRestsOnItsLastFrameAndAWholePlayRewinds) {
  PlayStart(media->mjpeg);
  ClearEvents();
  EXPECT_EQ(Call(id::DVCDoPlayPart, {I4(40), I4(44)}).I4(), S_OK);
  ASSERT_TRUE(WaitNotify(1));
  EXPECT_TRUE(WaitShown(44));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Call(id::DVCGetPosition).I4() == 44; }, 1000));
  // The whole file from frame 44 on: the end rewinds to frame 0.
  ClearEvents();
  EXPECT_EQ(Call(id::DVCDoPlay).I4(), S_OK);
  ASSERT_TRUE(WaitNotify(1));
  EXPECT_TRUE(WaitShown(0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Call(id::DVCGetPosition).I4() == 0; }, 1000));
  EXPECT_TRUE(WaitNotify(14));  // the rewound graph paused on its frame
}

TEST_F(Playback, RatesPauseStopAndSeeks) {
  PlayStart(media->mjpeg);
  EXPECT_EQ(Call(id::DVCDoFastPlay).I4(), S_OK);
  EXPECT_DOUBLE_EQ(GraphRate(), 2.0);
  EXPECT_EQ(Call(id::DVCDoSlowPlay).I4(), S_OK);
  EXPECT_DOUBLE_EQ(GraphRate(), 0.5);
  EXPECT_EQ(Call(id::DVCDoPlayPart, {I4(1), I4(3)}).I4(), S_OK);
  EXPECT_DOUBLE_EQ(GraphRate(), 1.0);
  ASSERT_TRUE(WaitNotify(1));
  // Pause holds the picture; stop goes back to the first frame.
  EXPECT_EQ(Call(id::DVCDoPlay).I4(), S_OK);
  QTest::qWait(120);
  EXPECT_EQ(Call(id::DVCDoPause).I4(), S_OK);
  QTest::qWait(50);
  const std::int32_t held = Call(id::DVCGetPosition).I4();
  QTest::qWait(200);
  EXPECT_EQ(Call(id::DVCGetPosition).I4(), held);
  Call(id::DVCDoStop);
  EXPECT_TRUE(WaitShown(0));
  // A seek shows exactly its frame.
  Call(id::DVCSetPosition, {I4(27)});
  EXPECT_TRUE(WaitShown(27));
  EXPECT_EQ(Call(id::DVCGetPosition).I4(), 27);
  Call(id::DVCSetTime, {I4(0), I4(1000)});  // a time member does nothing in frame format
  QTest::qWait(50);
  EXPECT_EQ(Shown(), 27);
}

TEST_F(Playback, AFileWithoutFixedRatePlaysIn100nsUnits) {
  EXPECT_EQ(PlayStart(media->noRate), -1);
  EXPECT_EQ(Call(id::DVCGetFrameNum).I4(), -1);
  EXPECT_EQ(Call(id::DVCGetPosition).I4(), -1);
  std::int32_t h = -5, l = -5;
  EXPECT_EQ(Call(id::DVCGetMediaTime, {Variant::Ref(&h), Variant::Ref(&l)}).I4(), S_OK);
  EXPECT_EQ(h, 0);
  EXPECT_NEAR(l, 20000000, 400000);  // 2 s
  Call(id::DVCSetTime, {I4(0), I4(12000000)});  // 1.2 s: frame 30
  EXPECT_TRUE(WaitShown(30));
  EXPECT_EQ(Call(id::DVCGetTime, {Variant::Ref(&h), Variant::Ref(&l)}).I4(), S_OK);
  EXPECT_EQ(l, 12000000);
  Call(id::DVCSetPosition, {I4(3)});  // nothing in this format
  QTest::qWait(50);
  EXPECT_EQ(Shown(), 30);
  EXPECT_EQ(Call(id::DVCDoPlayPart2, {I4(0), I4(4000000), I4(0), I4(8000000)}).I4(), S_OK);
  ASSERT_TRUE(WaitNotify(1));
  EXPECT_TRUE(WaitShown(19));  // the frame just before 0.8 s
  Call(id::DVCPlayStop);
  // Stills by time only.
  ASSERT_EQ(Call(id::DVCStillCapStart, {Str(media->noRate)}).I4(), S_OK);
  EXPECT_EQ(Call(id::DVCStillCapture, {Str(Temp("a.bmp")), I4(3)}).I4(), E_FAIL);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(Temp("a.bmp"))));
  EXPECT_EQ(Call(id::DVCStillCapture2, {Str(Temp("b.bmp")), I4(0), I4(4000000)}).I4(), S_OK);
  EXPECT_EQ(testmedia::ReadNumber(QImage(QString::fromStdString(Temp("b.bmp")))), 10);
}

TEST_F(Playback, GrabberCallbackReachesTheHostOnlyFromAReadyGraph) {
  std::int32_t frames = 0, w = 0, h = 0;
  ASSERT_EQ(Call(id::DVCPlayStart3Ready, {Str(media->mjpeg), Variant::Ref(&frames), Variant::Ref(&w), Variant::Ref(&h)})
                .I4(),
            S_OK);
  EXPECT_EQ(frames, 50);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  QTest::qWait(150);
  EXPECT_EQ(Call(id::DVCGetPosition).I4(), 0);  // not running
  EXPECT_LE(samples_.load(), 1);
  ClearEvents();
  EXPECT_EQ(Call(id::DVCDoPlayPart, {I4(0), I4(9)}).I4(), S_OK);
  ASSERT_TRUE(WaitNotify(1));
  // The end rests on the part's last frame; the pause that has it brings the host nothing new.
  EXPECT_TRUE(WaitNotify(14));
  QTest::qWait(100);
  // Each frame once, in order: neither the seek to the part's start nor the rest on its last
  // frame hands a frame the host has on again, however busy the machine.
  EXPECT_GE(samples_.load(), 10);
  EXPECT_LE(samples_.load(), 11);
  EXPECT_EQ(lastSampleSize_.load(), 320 * 3 * 240);
  std::lock_guard lock(mutex_);
  EXPECT_EQ(sampleFrames_, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(Playback, StillsAreTheExactFrameAsBmpAndJpeg) {
  for (const std::string* file : {&media->mjpeg, &media->raw, &media->h264}) {
    SCOPED_TRACE(*file);
    ASSERT_EQ(Call(id::DVCStillCapStart, {Str(*file)}).I4(), S_OK);
    for (int frame : {17, 3, 28}) {
      const std::string bmp = Temp("frame.Bmp"), jpg = Temp("frame.JPG");
      ASSERT_EQ(Call(id::DVCStillCapture, {Str(bmp), I4(frame)}).I4(), S_OK);
      EXPECT_EQ(testmedia::ReadNumber(QImage(QString::fromStdString(bmp), "BMP")), frame);
      ASSERT_EQ(Call(id::DVCStillCapture, {Str(jpg), I4(frame + 1)}).I4(), S_OK);
      EXPECT_EQ(testmedia::ReadNumber(QImage(QString::fromStdString(jpg), "JPG")), frame + 1);
    }
    // Past the end there is no frame to write.
    EXPECT_LT(Call(id::DVCStillCapture, {Str(Temp("end.bmp")), I4(1000)}).I4(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Temp("end.bmp"))));
    Call(id::DVCStillCapStop);
  }
  // Padded grabber rows come out as the picture, not as a slanted one.
  ASSERT_EQ(Call(id::DVCStillCapStart, {Str(media->oddWidth)}).I4(), S_OK);
  ASSERT_EQ(Call(id::DVCStillCapture, {Str(Temp("odd.jpg")), I4(41)}).I4(), S_OK);
  QImage odd(QString::fromStdString(Temp("odd.jpg")));
  EXPECT_EQ(odd.size(), QSize(318, 240));
  EXPECT_EQ(testmedia::ReadNumber(odd), 41);
  // Another extension places the frame and writes nothing; a file that cannot be written fails.
  EXPECT_EQ(Call(id::DVCStillCapture, {Str(Temp("frame.png")), I4(5)}).I4(), S_OK);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(Temp("frame.png"))));
  EXPECT_LT(Call(id::DVCStillCapture, {Str("/nonexistent/dir/x.jpg"), I4(5)}).I4(), 0);
  EXPECT_LT(Call(id::DVCStillCapture, {Str("/nonexistent/dir/x.bmp"), I4(5)}).I4(), 0);
}

TEST_F(Playback, StillsFromAFileAfterALivePreview) {
  ASSERT_TRUE(virtcam::Register());
  virtcam::HideRealProviders();
  virtcam::Camera cam;
  cam.name = "Virtual Camera A";
  virtcam::SetCameras({cam});
  ASSERT_EQ(Call(id::DVCPreviewOn3).I4(), S_OK);
  // The live graph is one graph: a file cannot open beside it.
  EXPECT_EQ(Call(id::DVCStillCapStart, {Str(media->mjpeg)}).I4(), VFW_E_WRONG_STATE);
  Call(id::DVCPreviewOff);
  ASSERT_EQ(Call(id::DVCStillCapStart, {Str(media->mjpeg)}).I4(), S_OK);
  ASSERT_EQ(Call(id::DVCStillCapture, {Str(Temp("after.bmp")), I4(12)}).I4(), S_OK);
  EXPECT_EQ(testmedia::ReadNumber(QImage(QString::fromStdString(Temp("after.bmp")))), 12);
  Call(id::DVCStillCapStop);
  // And a played file rewinds at its end again.
  PlayStart(media->raw);
  ClearEvents();
  Call(id::DVCSetPosition, {I4(25)});
  EXPECT_EQ(Call(id::DVCDoPlay).I4(), S_OK);
  ASSERT_TRUE(WaitNotify(1));
  EXPECT_TRUE(WaitShown(0));
}

// The control's own recordings (30 frames a second) play at the rate their frames really have:
// the frame count is that of the decoded file, the frame time is 1/30 s, and a still by number
// is that frame and not its neighbour.
TEST_F(Playback, TheControlsOwnRecordingsPlayFrameByFrame) {
  ASSERT_TRUE(UseOnlyCamera());
  for (const char* name : {"own.asf", "own.avi"}) {
    SCOPED_TRACE(name);
    const std::string file = Temp(name);
    ASSERT_EQ(Call(id::DVCPreviewOn3).I4(), S_OK);
    ASSERT_EQ(Call(id::DVCSetCapFile, {Str(file)}).I4(), S_OK);
    ASSERT_EQ(Call(id::DVCRecStart).I4(), S_OK);
    QTest::qWait(2000);
    ASSERT_EQ(Call(id::DVCRecStop).I4(), S_OK);
    Call(id::DVCPreviewOff);
    const std::vector<QImage> frames = testmedia::DecodeFrames(file);
    ASSERT_GT(frames.size(), 40u);

    ASSERT_EQ(Call(id::DVCStillCapStart, {Str(file)}).I4(), S_OK);
    EXPECT_EQ(Call(id::DVCGetFrameNum).I4(), std::int32_t(frames.size()));
    std::int32_t high = -1, low = -1;
    EXPECT_EQ(Call(id::DVCGetAVIFrameRate, {Variant::Ref(&high), Variant::Ref(&low)}).I4(), S_OK);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(low, 333333);
    for (std::size_t n : {std::size_t(1), frames.size() / 2, frames.size() - 2}) {
      const std::string bmp = Temp("own.bmp");
      ASSERT_EQ(Call(id::DVCStillCapture, {Str(bmp), I4(std::int32_t(n))}).I4(), S_OK);
      const QImage still(QString::fromStdString(bmp));
      EXPECT_LE(testmedia::MeanDifference(still, frames[n]), 2.0) << "frame " << n;
      EXPECT_GT(testmedia::MeanDifference(still, frames[n - 1]), testmedia::MeanDifference(still, frames[n]))
          << "frame " << n;
    }
    Call(id::DVCStillCapStop);
  }
  // A played file of 25 frames a second.
  PlayStart(media->mjpeg);
  std::int32_t high = -1, low = -1;
  EXPECT_EQ(Call(id::DVCGetAVIFrameRate, {Variant::Ref(&high), Variant::Ref(&low)}).I4(), S_OK);
  EXPECT_EQ(low, 400000);
  Call(id::DVCPlayStop);
}

// ASF keeps its frames' times in whole milliseconds: at 30 frames a second frame n starts up to a
// millisecond before n / 30 s. Every frame the control counts is one it reaches: the last frame
// of 60, 61 and 62 (and of an AVI beside them) is ffmpeg's last frame as a still and as a seek,
// and the position read back after a seek is the frame asked for. A frame it counts but no file
// holds gives no still.
TEST_F(Playback, EveryCountedFrameOfAMillisecondTimedFileIsReached) {
  struct Case {
    int frames;
    const char* container;
  };
  for (const Case c : {Case{60, "asf"}, Case{61, "asf"}, Case{62, "asf"}, Case{60, "avi"}}) {
    const std::string file = Temp(std::to_string(c.frames) + "." + c.container);
    SCOPED_TRACE(file);
    testmedia::Spec spec;
    spec.frames = c.frames;
    spec.fps = 30;
    spec.codec = "wmv2";  // as the control records ASF
    spec.container = c.container;
    ASSERT_TRUE(testmedia::WriteNumbered(file, spec));
    if (spec.container == "asf") {
      ASSERT_TRUE(capture::FixAsfPacketLengths(file));  // as a recording's end does
    }
    const std::vector<QImage> decoded = testmedia::DecodeFramesByFfmpeg(file, 320, 240);
    ASSERT_EQ(decoded.size(), std::size_t(c.frames));
    const int last = c.frames - 1;

    ASSERT_EQ(Call(id::DVCStillCapStart, {Str(file)}).I4(), S_OK);
    EXPECT_EQ(Call(id::DVCGetFrameNum).I4(), c.frames);
    const std::string bmp = Temp("last.bmp");
    ASSERT_EQ(Call(id::DVCStillCapture, {Str(bmp), I4(last)}).I4(), S_OK);
    const QImage still(QString::fromStdString(bmp));
    EXPECT_EQ(testmedia::ReadNumber(still), last);
    EXPECT_LE(testmedia::MeanDifference(still, decoded.back()), 2.0);
    Call(id::DVCStillCapStop);

    std::int32_t frames = 0, w = 0, h = 0;
    ASSERT_EQ(Call(id::DVCPlayStart3Ready, {Str(file), Variant::Ref(&frames), Variant::Ref(&w), Variant::Ref(&h)}).I4(),
              S_OK);
    for (int frame : {last, last - 1, last - 2, 2, 1, last}) {
      Call(id::DVCSetPosition, {I4(frame)});
      EXPECT_TRUE(WaitShown(frame)) << "frame " << frame << " shows " << Shown();
      EXPECT_EQ(Call(id::DVCGetPosition).I4(), frame);
    }
    Call(id::DVCPlayStop);
  }
  // A file whose header claims twice the frames it holds: a still of a frame it does not hold
  // fails and writes nothing (the grabber's older frame is not that frame); one it holds works.
  testmedia::Spec spec;
  spec.frames = 25;
  spec.container = "mkv";
  const std::string claims = Temp("claims-more.mkv");
  ASSERT_TRUE(testmedia::WriteNumbered(claims, spec));
  QFile file(QString::fromStdString(claims));
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  QByteArray bytes = file.readAll();
  const qsizetype at = bytes.indexOf(QByteArray::fromHex("448988"));  // the segment's duration, 8-byte float
  ASSERT_GT(at, 0);
  const double claimed = 2000.0;  // ms: 50 frames
  std::uint64_t bits = 0;
  std::memcpy(&bits, &claimed, sizeof bits);
  for (int i = 0; i < 8; ++i) bytes[at + 3 + i] = char(bits >> (56 - 8 * i));
  ASSERT_TRUE(file.seek(0));
  ASSERT_EQ(file.write(bytes), bytes.size());
  file.close();
  ASSERT_EQ(Call(id::DVCStillCapStart, {Str(claims)}).I4(), S_OK);
  ASSERT_EQ(Call(id::DVCGetFrameNum).I4(), 50);
  const std::string held = Temp("held.bmp"), missing = Temp("missing.bmp");
  EXPECT_EQ(Call(id::DVCStillCapture, {Str(held), I4(24)}).I4(), S_OK);
  EXPECT_EQ(testmedia::ReadNumber(QImage(QString::fromStdString(held))), 24);
  EXPECT_LT(Call(id::DVCStillCapture, {Str(missing), I4(40)}).I4(), 0);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(missing)));
  Call(id::DVCStillCapStop);
}

namespace {

// What ffprobe reads of a file: the frames of its video stream, decoded (-1 without video), and
// where its video and its sound end in seconds, by their packets (-1 without).
struct FfprobeRun {
  int frames = -1;
  double videoEnd = -1, soundEnd = -1;
};

FfprobeRun ProbeWithFfprobe(const std::string& file) {
  QProcess probe;
  probe.start("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                          "stream=index,codec_type,nb_read_frames:packet=stream_index,pts_time,duration_time", "-of",
                          "json", QString::fromStdString(file)});
  FfprobeRun run;
  if (!probe.waitForFinished(30000)) return run;
  const QJsonObject json = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
  std::map<int, bool> video;  // stream index -> is video
  for (const QJsonValue& s : json["streams"].toArray()) {
    const QJsonObject o = s.toObject();
    video[o["index"].toInt()] = o["codec_type"] == "video";
    if (video[o["index"].toInt()]) run.frames = o["nb_read_frames"].toString().toInt();
  }
  for (const QJsonValue& p : json["packets"].toArray()) {
    const QJsonObject o = p.toObject();
    const double end = o["pts_time"].toString().toDouble() + o["duration_time"].toString().toDouble();
    double& last = video[o["stream_index"].toInt()] ? run.videoEnd : run.soundEnd;
    last = std::max(last, end);
  }
  return run;
}

qint64 FreeBytes(const QString& folder) {
  struct statvfs fs {};
  return statvfs(QFile::encodeName(folder).constData(), &fs) == 0 ? qint64(fs.f_bavail) * qint64(fs.f_frsize) : -1;
}

}  // namespace

// Recordings cut short by a full disk count the whole frames they hold, as ffmpeg decodes them,
// and their sound ends with their last frame: the still of the last frame is ffmpeg's picture of
// it, and a still past it fails. A disk that filled before the first frame leaves a file without
// a frame or sound, which playback refuses, with no length.
TEST_F(Playback, FilesCutByAFullDiskCountTheFramesFfmpegDecodes) {
  if (QStandardPaths::findExecutable("ffprobe").isEmpty()) GTEST_SKIP() << "ffprobe (ffmpeg) is not installed";
  ASSERT_TRUE(UseOnlyCamera());
  virtcam::SetMicrophones({{"Virtual Microphone", "sine", {"Microphone"}}});
  struct Case {
    const char* name;
    qint64 disk;
    const char* compressor;
  };
  // A raw frame (112.5 KB) never fits on the small disk: that file takes sound only.
  const Case cases[] = {{"snow.asf", 1 << 20, nullptr}, {"snow.avi", 1 << 20, "jpegenc"}, {"raw.avi", 100 << 10, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::SmallDisk disk(c.disk);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    const std::string file = disk.Path().toStdString() + c.name;
    ASSERT_EQ(Call(id::DVCPreviewOn3).I4(), S_OK);
    const int compressor = c.compressor ? capture::CompressorList().IndexOf(c.compressor) : -1;
    Call(id::DVCSetVCompNo, {Variant(short(compressor))});
    ASSERT_EQ(Call(id::DVCSetCapFile2, {Str(file)}).I4(), S_OK);
    ASSERT_EQ(Call(id::DVCRecStart).I4(), S_OK);
    ASSERT_TRUE(QTest::qWaitFor([&] { return FreeBytes(disk.Path()) < 8192; }, 30000)) << "the disk never filled";
    QTest::qWait(300);
    EXPECT_EQ(Call(id::DVCRecStop).I4(), E_DISK_FULL);
    Call(id::DVCPreviewOff);
    const FfprobeRun probed = ProbeWithFfprobe(file);
    if (c.disk < (1 << 20)) {
      EXPECT_LE(probed.frames, 0);
      EXPECT_LE(probed.soundEnd, 0.0) << "sound without a frame";
      std::int32_t frames = -2;
      EXPECT_EQ(Call(id::DVCPlayStart, {Str(file), Variant::Ref(&frames)}).I4(), VFW_E_NOT_CONNECTED);
      Call(id::DVCPlayStop);
      EXPECT_EQ(Call(id::DVCStillCapStart, {Str(file)}).I4(), VFW_E_NOT_CONNECTED);
      EXPECT_EQ(Call(id::DVCGetFrameNum).I4(), 0);
      continue;
    }
    ASSERT_GT(probed.frames, 1);
    // An AVI's sound is cut to the sample; an ASF's comes in coded blocks and keeps its last.
    if (std::string(c.name).ends_with(".avi")) {
      EXPECT_LE(probed.soundEnd, probed.videoEnd + 0.001) << "the sound goes on after the last frame";
    }
    ASSERT_EQ(Call(id::DVCStillCapStart, {Str(file)}).I4(), S_OK);
    EXPECT_EQ(Call(id::DVCGetFrameNum).I4(), probed.frames);
    const std::vector<QImage> decoded = testmedia::DecodeFramesByFfmpeg(file, 320, 240);  // at a fixed rate
    ASSERT_FALSE(decoded.empty());
    const std::string last = Temp(std::string(c.name) + "-last.bmp"), past = Temp(std::string(c.name) + "-past.bmp");
    EXPECT_EQ(Call(id::DVCStillCapture, {Str(last), I4(probed.frames - 1)}).I4(), S_OK);
    EXPECT_LE(testmedia::MeanDifference(QImage(QString::fromStdString(last)), decoded.back()), 2.0);
    EXPECT_LT(Call(id::DVCStillCapture, {Str(past), I4(probed.frames)}).I4(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(past)));
    Call(id::DVCStillCapStop);
  }
  virtcam::SetMicrophones({});
}

// Every compressor the control lists records a file that the control itself plays back and
// takes stills from, by its members.
TEST_F(Playback, EveryListedCompressorsRecordingPlaysBackAndGivesStills) {
  ASSERT_TRUE(virtcam::Register());
  virtcam::HideRealProviders();
  virtcam::Camera cam;
  cam.name = "Door";
  cam.modes = {"I420 320x240@30"};
  virtcam::SetCameras({cam});
  ASSERT_EQ(Call(id::DVCPreviewOn3).I4(), S_OK);
  const std::int32_t count = Call(id::DVCGetVCompNo).I4();
  ASSERT_GT(count, 0);
  std::vector<std::pair<QString, std::string>> files;  // compressor, file
  for (std::int32_t i = 0; i < count; ++i) {
    files.emplace_back(Call(id::DVCGetVCompName, {Variant(short(i))}).ToQString(), Temp("") + std::to_string(i) + ".avi");
    SCOPED_TRACE(files.back().first.toStdString());
    Call(id::DVCSetVCompNo, {Variant(short(i))});
    ASSERT_EQ(Call(id::DVCSetCapFile, {Str(files.back().second)}).I4(), S_OK);
    ASSERT_EQ(Call(id::DVCRecStart).I4(), S_OK);
    QTest::qWait(800);
    ASSERT_EQ(Call(id::DVCRecStop).I4(), S_OK);
  }
  Call(id::DVCPreviewOff);  // finalises the last file
  for (const auto& [compressor, file] : files) {
    SCOPED_TRACE(compressor.toStdString());
    std::int32_t frames = 0;
    ASSERT_EQ(Call(id::DVCPlayStart, {Str(file), Variant::Ref(&frames)}).I4(), S_OK);
    EXPECT_GT(frames, 10);
    Call(id::DVCPlayStop);
    const std::string bmp = Temp("still.bmp");
    QFile::remove(QString::fromStdString(bmp));
    ASSERT_EQ(Call(id::DVCStillCapStart, {Str(file)}).I4(), S_OK);
    EXPECT_EQ(Call(id::DVCStillCapture, {Str(bmp), I4(frames / 2)}).I4(), S_OK);
    EXPECT_EQ(QImage(QString::fromStdString(bmp)).size(), QSize(320, 240));
    Call(id::DVCStillCapStop);
  }
}

TEST_F(Playback, CallsDuringAStillsWaitAreRefusedOrKeptForItsEnd) {
  ASSERT_EQ(Call(id::DVCStillCapStart, {Str(media->mjpeg)}).I4(), S_OK);
  HRESULT play = S_OK;
  std::int32_t position = -2;
  QTimer::singleShot(0, [&] {
    play = Call(id::DVCDoPlay).I4();
    Call(id::DVCStillCapStop);  // kept until the still is written
    position = Call(id::DVCGetPosition).I4();
  });
  ASSERT_EQ(Call(id::DVCStillCapture, {Str(Temp("kept.bmp")), I4(8)}).I4(), S_OK);
  EXPECT_EQ(play, VFW_E_WRONG_STATE);
  EXPECT_GE(position, 0);
  EXPECT_EQ(testmedia::ReadNumber(QImage(QString::fromStdString(Temp("kept.bmp")))), 8);
  EXPECT_EQ(Engine()->FilterGraph(), nullptr);  // the stop ran after the still
}

TEST_F(Playback, AHostMayUnloadTheControlInsideGraphNotify) {
  PlayStart(media->raw);
  onEvent_ = [this](DISPID n) {
    if (n == ornik::DISPID_GraphNotify) ctrl_->DestroyControlWindow();
  };
  Call(id::DVCSetPosition, {I4(28)});
  EXPECT_TRUE(QTest::qWaitFor([&] { return ctrl_->m_pDlg == nullptr; }, 3000));
  QTest::qWait(50);
  onEvent_ = nullptr;
}

TEST_F(Playback, ACutOfTwoToFiveSecondsGivesThreeSecondsAsRgbAviAndAsWav) {
  const std::string timeline = Temp("cut.xges");
  ASSERT_EQ(Call(id::DVCEdSetStartStop, {Str(media->withSound), Str(timeline), I4(2000), Variant(u"5000")}).I4(), S_OK);
  ASSERT_TRUE(QFile::exists(QString::fromStdString(timeline)));

  const std::string avi = Temp("cut.avi");
  ASSERT_EQ(Call(id::DVCEdFileCut, {Str(avi), Str(timeline), Variant::Bool(false)}).I4(), S_OK);
  gint64 length = 0;
  std::string caps;
  ASSERT_TRUE(testmedia::Probe(avi, &length, &caps));
  EXPECT_NEAR(double(length) / GST_SECOND, 3.0, 0.05);
  EXPECT_NE(caps.find("format=(string)BGR"), std::string::npos) << caps;
  EXPECT_NE(caps.find("width=(int)256"), std::string::npos) << caps;
  {
    std::lock_guard lock(mutex_);
    ASSERT_FALSE(positions_.empty());
    EXPECT_TRUE(std::is_sorted(positions_.begin(), positions_.end()));
    EXPECT_EQ(positions_.back(), 100);
  }
  // The first frame of the cut is the one at 2 s.
  ASSERT_EQ(Call(id::DVCStillCapStart, {Str(avi)}).I4(), S_OK);
  ASSERT_EQ(Call(id::DVCStillCapture, {Str(Temp("first.bmp")), I4(0)}).I4(), S_OK);
  EXPECT_EQ(testmedia::ReadNumber(QImage(QString::fromStdString(Temp("first.bmp")))), 50);
  Call(id::DVCStillCapStop);

  ClearEvents();
  const std::string wav = Temp("cut.WAV");
  ASSERT_EQ(Call(id::DVCEdFileCut, {Str(wav), Str(timeline), Variant::Bool(true)}).I4(), S_OK);
  ASSERT_TRUE(testmedia::Probe(wav, &length, &caps));
  EXPECT_NEAR(double(length) / GST_SECOND, 3.0, 0.05);
  EXPECT_TRUE(caps.empty());
  std::lock_guard lock(mutex_);
  ASSERT_FALSE(positions_.empty());
  EXPECT_EQ(positions_.back(), 100);
}

// Every frame of a cut is the source's frame at its place, whatever the source's shape (4:3 as the
// station records, or 16:9) and coding, cut to raw RGB or in the source's own coding.
TEST_F(Playback, EveryFrameOfACutIsItsSourceFrameAtBothAspectRatios) {
  struct Case {
    int width, height;
    const char* codec;
    bool compressed;
  };
  const Case cases[] = {{320, 240, "raw", false},  {640, 480, "jpeg", false}, {640, 480, "h264", true},
                        {1280, 720, "h264", false}, {1280, 720, "jpeg", true}, {320, 240, "h264", true}};
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.width) + "-" + c.codec + (c.compressed ? "-own" : "-rgb");
    SCOPED_TRACE(name);
    testmedia::Spec spec;
    spec.width = c.width;
    spec.height = c.height;
    spec.codec = c.codec;
    spec.frames = 30;
    spec.gop = 10;
    const std::string source = Temp(name + "-source.avi");
    ASSERT_TRUE(testmedia::WriteNumbered(source, spec));
    ExpectCutOfFrames10To24(source, testmedia::DecodeFrames(source), Temp(name + "-cut.avi"), c.compressed);
  }
}

// A raw AVI that ffmpeg wrote from square pixels (top-down rows; GStreamer reads its pixel aspect
// ratio as -1/1) cuts frame-exact like GStreamer's own (the raw case above).
TEST_F(Playback, ARawAviOfAnotherWriterCutsFrameExact) {
  testmedia::Spec spec;
  spec.codec = "raw";
  spec.frames = 30;
  const std::string numbered = Temp("numbered.avi"), source = Temp("ffmpeg-bgr24.avi");
  ASSERT_TRUE(testmedia::WriteNumbered(numbered, spec));
  const std::string rewrite =
      "ffmpeg -loglevel error -y -i '" + numbered + "' -vf setsar=1 -c:v rawvideo -pix_fmt bgr24 '" + source + "'";
  ASSERT_EQ(std::system(rewrite.c_str()), 0) << rewrite;
  const std::vector<QImage> from = testmedia::DecodeFrames(source);
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "own coding" : "rgb");
    ExpectCutOfFrames10To24(source, from, Temp(compressed ? "ffmpeg-own.avi" : "ffmpeg-rgb.avi"), compressed);
  }
}

// JPEG frames keep their colours in a cut and in a still whatever their chroma layout (4:2:0,
// 4:2:2, 4:4:4), width (even or odd), writer and range (the full range of JPEG, or the video range
// that libav's encoder writes and marks, whose white is white): ffmpeg's decoding of the source is
// the measure. The
// control's own recording of a black picture by libav's encoder gives black stills.
TEST_F(Playback, JpegOfEveryChromaLayoutAndRangeCutsAndStillsAsFfmpegDecodesIt) {
  struct Case {
    int width;
    const char* writer;  // GStreamer's "jpeg444" or "jpeg", else ffmpeg's pixel format
  };
  const Case cases[] = {{321, "jpeg444"},  {321, "jpeg"},     {320, "yuvj420p"}, {321, "yuvj420p"}, {320, "yuvj422p"},
                        {321, "yuvj422p"}, {320, "yuvj444p"}, {321, "yuvj444p"}, {321, "yuv422p"}, {320, "yuv420p"}};
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.width) + "-" + c.writer;
    SCOPED_TRACE(name);
    testmedia::Spec spec;
    spec.width = c.width;
    spec.codec = g_str_has_prefix(c.writer, "jpeg") ? c.writer : "jpeg444";
    spec.frames = 30;
    spec.stripes = true;
    std::string source = Temp(name + ".avi");
    ASSERT_TRUE(testmedia::WriteNumbered(source, spec));
    if (spec.codec != c.writer) {
      const std::string rewritten = Temp(name + "-ffmpeg.avi");
      const std::string rewrite = "ffmpeg -loglevel error -y -i '" + source + "' -c:v mjpeg -q:v 2 -strict -1 -pix_fmt " +
                                  c.writer + " '" + rewritten + "'";
      ASSERT_EQ(std::system(rewrite.c_str()), 0) << rewrite;
      source = rewritten;
    }
    const std::vector<QImage> from = testmedia::DecodeFramesByFfmpeg(source, c.width, 240);
    ExpectCutOfFrames10To24(source, from, Temp(name + "-cut.avi"), false);
    const std::string still = Temp(name + "-12.bmp");
    ASSERT_EQ(Call(id::DVCStillCapStart, {Str(source)}).I4(), S_OK);
    ASSERT_EQ(Call(id::DVCStillCapture, {Str(still), I4(12)}).I4(), S_OK);
    Call(id::DVCStillCapStop);
    const QImage stilled(QString::fromStdString(still));
    EXPECT_LE(testmedia::MeanDifference(stilled, from[12]), 2.0);
    // The number's black and white blocks (frame 12: black over white at its first bit) read as
    // ffmpeg reads them, in either range.
    for (const QPoint at : {QPoint(8, 8), QPoint(8, 24)}) {
      const QRgb got = stilled.pixel(at), want = from[12].pixel(at);
      EXPECT_LE(std::max({std::abs(qRed(got) - qRed(want)), std::abs(qGreen(got) - qGreen(want)),
                          std::abs(qBlue(got) - qBlue(want))}),
                1)
          << std::hex << got << " against " << want << " at " << at.y();
    }
  }

  ASSERT_TRUE(UseOnlyCamera("Dark", "black"));
  GstElementFactory* libav = gst_element_factory_find("avenc_mjpeg");
  ASSERT_NE(libav, nullptr);
  const QString libavName = QString::fromUtf8(gst_element_factory_get_metadata(libav, GST_ELEMENT_METADATA_LONGNAME));
  gst_object_unref(libav);
  ASSERT_EQ(Call(id::DVCPreviewOn3).I4(), S_OK);
  short position = -1;
  for (short i = 0; i < Call(id::DVCGetVCompNo).I4(); ++i)
    if (Call(id::DVCGetVCompName, {Variant(i)}).ToQString() == libavName) position = i;
  ASSERT_GE(position, 0) << "libav's MJPEG encoder is not listed";
  Call(id::DVCSetVCompNo, {Variant(position)});
  const std::string recording = Temp("libav-mjpeg.avi");
  ASSERT_EQ(Call(id::DVCSetCapFile, {Str(recording)}).I4(), S_OK);
  ASSERT_EQ(Call(id::DVCRecStart).I4(), S_OK);
  QTest::qWait(500);
  ASSERT_EQ(Call(id::DVCRecStop).I4(), S_OK);
  Call(id::DVCPreviewOff);  // finalises the file
  const std::vector<QImage> from = testmedia::DecodeFramesByFfmpeg(recording, 320, 240);
  ASSERT_GT(from.size(), 5u);
  ASSERT_EQ(from[2].pixel(160, 120), qRgb(0, 0, 0));
  const std::string still = Temp("libav-mjpeg.bmp");
  ASSERT_EQ(Call(id::DVCStillCapStart, {Str(recording)}).I4(), S_OK);
  ASSERT_EQ(Call(id::DVCStillCapture, {Str(still), I4(2)}).I4(), S_OK);
  Call(id::DVCStillCapStop);
  EXPECT_EQ(QImage(QString::fromStdString(still)).pixel(160, 120), qRgb(0, 0, 0));
}

// A render takes as long as it needs and ends only with its end or its failure: a cut slowed down
// (its first frame held longer than the control once let a render go without moving on) completes,
// and one whose stream fails midway returns the failure.
TEST_F(Playback, ASlowRenderCompletesAndAFailingOneFails) {
  // An element put into the cut's clip, as the editing services keep an effect.
  const auto cutWith = [&](const std::string& name, const std::string& element) {
    const std::string timeline = Temp(name + ".xges");
    EXPECT_EQ(Call(id::DVCEdSetStartStop, {Str(media->mjpeg), Str(timeline), I4(0), I4(40)}).I4(), S_OK);
    QFile file(QString::fromStdString(timeline));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    text.replace("</clip>", "<effect asset-id='" + QByteArray::fromStdString(element) +
                                "' clip-id='0' type-name='GESEffect' track-type='4' track-id='0' "
                                "properties='properties;' metadatas='metadatas;'/></clip>");
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    return Call(id::DVCEdFileCut, {Str(Temp(name + ".avi")), Str(timeline), Variant::Bool(false)}).I4();
  };
  // The identity named "slowdown" holds the first frame it passes for 12 s.
  GstElement* probe = gst_element_factory_make("identity", nullptr);
  ASSERT_NE(probe, nullptr);
  const guint handoff = g_signal_lookup("handoff", G_OBJECT_TYPE(probe));
  gst_object_unref(gst_object_ref_sink(probe));
  static std::atomic<bool> held;
  held = false;
  const gulong hook = g_signal_add_emission_hook(
      handoff, 0,
      [](GSignalInvocationHint*, guint, const GValue* params, gpointer) -> gboolean {
        auto* element = static_cast<GstElement*>(g_value_get_object(&params[0]));
        if (g_str_equal(GST_OBJECT_NAME(element), "slowdown") && !held.exchange(true)) g_usleep(12 * G_USEC_PER_SEC);
        return TRUE;
      },
      nullptr, nullptr);
  const HRESULT slow = cutWith("slow", "identity name=slowdown");
  g_signal_remove_emission_hook(handoff, hook);
  ASSERT_TRUE(held);
  ASSERT_EQ(slow, S_OK);
  const std::vector<QImage> got = testmedia::DecodeFrames(Temp("slow.avi"));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(testmedia::ReadNumber(got[0]), 0);
  EXPECT_LT(cutWith("failing", "identity error-after=1"), 0);
}

TEST_F(Playback, TimelinesRefuseWhatTheyCannotDescribe) {
  const std::string timeline = Temp("bad.xges");
  EXPECT_LT(Call(id::DVCEdSetStartStop, {Str(media->mjpeg), Str(timeline), I4(3000), I4(1000)}).I4(), 0);
  EXPECT_LT(Call(id::DVCEdSetStartStop, {Str(""), Str(timeline), I4(0), I4(1000)}).I4(), 0);
  EXPECT_LT(Call(id::DVCEdSetStartStop, {Str(Temp("missing.avi")), Str(timeline), I4(0), I4(1000)}).I4(), 0);
  // Only a cut description renders: anything else fails and writes nothing.
  EXPECT_LT(Call(id::DVCEdFileCut, {Str(Temp("o.avi")), Str(media->mjpeg), Variant::Bool(false)}).I4(), 0);
  EXPECT_LT(Call(id::DVCEdFileCut, {Str(Temp("o.avi")), Str(Temp("none.xges")), Variant::Bool(false)}).I4(), 0);
}
