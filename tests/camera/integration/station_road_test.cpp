// The camera control as the station uses it: created by its ProgID from the built library,
// called late-bound by member number, on virtual cameras registered in this process (the
// library's engine shares this process's GStreamer).
#include <gtest/gtest.h>

#include <gst/gst.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

#include "OrnikDispIds.h"
#include "com/controlsite.h"
#include "com/registry.h"
#include "com/runtime.h"
#include "virtcam.h"

using namespace com;
namespace id = ornik::dispid;

namespace {

virtcam::Camera Cam(const char* name, const char* pattern, std::vector<std::string> modes = {}) {
  virtcam::Camera c;
  c.name = name;
  c.pattern = pattern;
  c.modes = std::move(modes);
  return c;
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Bright pixels of an image inside `area`.
int Bright(const QImage& image, QRect area) {
  int n = 0;
  area = area.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (qGray(image.pixel(x, y)) > 200) ++n;
  return n;
}

int LeftmostBright(const QImage& image) {
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < image.height(); ++y)
      if (qGray(image.pixel(x, y)) > 200) return x;
  return -1;
}

}  // namespace

class StationRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    qputenv(kRegistryEnv, QFile::encodeName(dir_.filePath(QStringLiteral("registry.json"))));
    QString message;
    const QString library = QCoreApplication::applicationDirPath() + QStringLiteral("/libOrnik.so");
    ASSERT_EQ(CallSelfRegistration(library, false, &message), S_OK) << message.toStdString();
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    ASSERT_TRUE(virtcam::Register());
    virtcam::HideRealProviders();
    virtcam::SetCameras({Cam("Entrance", "smpte"), Cam("Dark", "black", {"BGR 320x240@30"})});
    parent_ = std::make_unique<QWidget>();
    parent_->resize(640, 480);
    parent_->show();
  }
  void TearDown() override {
    site_.reset();
    parent_.reset();
    CoFreeUnusedLibraries();
    qunsetenv(kRegistryEnv);
  }

  ControlSite& Control(QRect geometry = QRect(0, 0, 400, 400)) {
    HRESULT hr = E_FAIL;
    site_ = CreateControl(QStringLiteral("ORNIK.OrnikCtrl.1"), parent_.get(), {geometry, true}, &hr);
    EXPECT_EQ(hr, S_OK);
    return *site_;
  }
  std::int32_t Long(DISPID n, std::initializer_list<Variant> args = {}) {
    Variant r;
    EXPECT_EQ(site_->Invoke(n, args, &r), S_OK) << "member " << n;
    return r.I4();
  }
  QWidget* VideoStatic() { return site_->Widget()->findChild<QWidget*>(QStringLiteral("CVideoStatic")); }
  QImage Shot() { return site_->Widget()->grab().toImage(); }
  QString File(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

  QTemporaryDir dir_;
  std::unique_ptr<QWidget> parent_;
  std::unique_ptr<ControlSite> site_;
};

// The station's members in its order: initialise, count, select, preview, format, stretch type,
// photograph, preview off, uninitialise.
TEST_F(StationRoad, LivePictureAndPhotographThroughTheNineMembers) {
  ControlSite& c = Control();
  EXPECT_GE(Long(id::DVCInitialize), 0);
  EXPECT_EQ(Long(id::DVCGetVInDevNo), 2);
  ASSERT_EQ(c.Invoke(id::DVCSetVInDevNo, {Variant(std::int16_t(0))}), S_OK);
  ASSERT_EQ(Long(id::DVCPreviewOn3), S_OK);
  EXPECT_FALSE(VideoStatic()->isVisible()) << "the black static gives way to the picture";
  EXPECT_NE(Shot().pixel(200, 100), qRgb(0, 0, 0)) << "no picture in the control";
  // The station asks for format 0 with a 0 x 0 header of 32 bits; the picture goes on.
  std::vector<Variant> caps = {Variant(std::int16_t(0)), Variant(std::int32_t(0)), Variant(std::int32_t(0)),
                               Variant(std::int16_t(1)), Variant(std::int16_t(32))};
  for (int i = 0; i < 6; ++i) caps.emplace_back(std::int32_t(0));
  Variant r;
  ASSERT_EQ(c.InvokeArgs(id::DVCSetVCaptureCaps2, caps, &r), S_OK);
  EXPECT_EQ(r.I4(), S_OK);
  ASSERT_EQ(c.Invoke(id::DVCGetStretchType, {}, &r), S_OK);
  const std::int16_t type = r.I2();
  EXPECT_EQ(type, 0);
  EXPECT_EQ(Long(id::DVCSetStretchType, {Variant(type)}), S_OK);

  const QString photo = File("20261208120000.bmp");
  ASSERT_EQ(Long(id::DVCStillCapture, {Variant(photo), Variant(std::int32_t(-1))}), S_OK);
  QFile f(photo);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "the file exists when the call returns";
  const QByteArray bmp = f.readAll();
  EXPECT_EQ(bmp.size(), 230454);
  EXPECT_TRUE(bmp.startsWith("BM"));
  const QImage still = QImage::fromData(bmp, "BMP");
  ASSERT_FALSE(still.isNull());
  EXPECT_EQ(still.size(), QSize(320, 240));
  // SMPTE bars: the first bar is light grey, the second yellow.
  EXPECT_GT(qGray(still.pixel(20, 40)), 150);
  EXPECT_LT(qBlue(still.pixel(65, 40)), 60);
  EXPECT_GT(qRed(still.pixel(65, 40)), 150);

  ASSERT_EQ(c.Invoke(id::DVCPreviewOff), S_OK);
  EXPECT_TRUE(VideoStatic()->isVisible());
  EXPECT_EQ(Shot().pixel(200, 100), qRgb(0, 0, 0));
  const QString after = File("after.bmp");
  EXPECT_EQ(Long(id::DVCStillCapture, {Variant(after), Variant(std::int32_t(-1))}), E_FAIL);
  EXPECT_FALSE(QFile::exists(after));
  ASSERT_EQ(c.Invoke(id::DVCUninitialize), S_OK);
}

// The login window's probe on a machine without camera: the station then runs without photos.
TEST_F(StationRoad, WithoutCameraTheCountIsZeroAndNothingIsPhotographed) {
  virtcam::SetCameras({});
  Control();
  EXPECT_GE(Long(id::DVCInitialize), 0);
  EXPECT_EQ(Long(id::DVCGetVInDevNo), 0);
  EXPECT_EQ(Long(id::DVCPreviewOn3), E_FAIL);
  EXPECT_TRUE(VideoStatic()->isVisible());
  const QString photo = File("none.bmp");
  EXPECT_EQ(Long(id::DVCStillCapture, {Variant(photo), Variant(std::int32_t(-1))}), E_FAIL);
  EXPECT_FALSE(QFile::exists(photo));
  Variant r;
  ASSERT_EQ(site_->Invoke(id::DVCGetVInDevName, {Variant(std::int16_t(0))}, &r), S_OK);
  EXPECT_EQ(r.ToQString(), QString());
}

// A build that fails over a running picture ends that picture too: the black static is back and
// nothing of the old graph is left to photograph.
TEST_F(StationRoad, FailedBuildOverARunningPictureShowsTheBlackStaticAgain) {
  ControlSite& c = Control();
  for (DISPID build : {id::DVCPreviewOn3, id::DVCPreviewOn}) {
    SCOPED_TRACE(build);
    ASSERT_EQ(c.Invoke(id::DVCSetVInDevNo, {Variant(std::int16_t(0))}), S_OK);
    ASSERT_EQ(Long(build), S_OK);
    ASSERT_FALSE(VideoStatic()->isVisible());
    ASSERT_EQ(c.Invoke(id::DVCSetVInDevNo, {Variant(std::int16_t(5))}), S_OK);  // no camera there
    EXPECT_LT(Long(build), 0);
    EXPECT_TRUE(VideoStatic()->isVisible());
    EXPECT_EQ(Shot().pixel(200, 100), qRgb(0, 0, 0));
    const QString photo = File("stale.bmp");
    EXPECT_EQ(Long(id::DVCStillCapture, {Variant(photo), Variant(std::int32_t(-1))}), E_FAIL);
    EXPECT_FALSE(QFile::exists(photo));
  }
}

TEST_F(StationRoad, CameraNamesPictureFittedIntoTheControlAndFormatsReadBack) {
  ControlSite& c = Control();
  Variant r;
  ASSERT_EQ(c.Invoke(id::DVCGetVInDevName, {Variant(std::int16_t(1))}, &r), S_OK);
  EXPECT_EQ(r.ToQString(), QStringLiteral("Dark"));
  ASSERT_EQ(c.Invoke(id::DVCSetVInDevNo, {Variant(std::int16_t(0))}), S_OK);
  ASSERT_EQ(Long(id::DVCPreviewOn3), S_OK);
  EXPECT_EQ(Long(id::DVCSetStretchType, {Variant(std::int16_t(1))}), S_OK);
  const QImage fit = Shot();
  EXPECT_NE(fit.pixel(200, 150), qRgb(0, 0, 0));
  EXPECT_EQ(fit.pixel(200, 350), qRgb(0, 0, 0)) << "400x300 picture at the top of a 400x400 control";
  // Resizing the control lays the picture out again by the stored type.
  c.Resize(200, 400);
  QCoreApplication::processEvents();
  EXPECT_EQ(Shot().pixel(100, 200), qRgb(0, 0, 0)) << "200x150 after the resize";

  std::int16_t count = 0;
  ASSERT_EQ(c.Invoke(id::DVCGetVCaptureCapsNo, {Variant::Ref(&count)}, &r), S_OK);
  EXPECT_EQ(r.I4(), S_OK);
  EXPECT_EQ(count, 5);
  std::int16_t s[7] = {};
  std::int32_t bih[10] = {};
  std::vector<Variant> args = {Variant(std::int16_t(1))};
  for (auto& v : s) args.push_back(Variant::Ref(&v));
  args.push_back(Variant::Ref(bih, 10));
  ASSERT_EQ(c.InvokeArgs(id::DVCGetVCaptureCaps, args, &r), S_OK);
  EXPECT_EQ(r.I4(), S_OK);
  EXPECT_EQ(s[6], 21) << "RGB24";
  EXPECT_EQ(bih[1], 320);
  EXPECT_EQ(bih[5], 230400);
  std::int32_t w = 0, h = 0;
  ASSERT_EQ(c.Invoke(id::DVCGetVCapResolution, {Variant::Ref(&w), Variant::Ref(&h)}, &r), S_OK);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
}

// The ticker: text set and slid by the control's timer, shown over the picture.
TEST_F(StationRoad, SlidingTextMovesAcrossTheLivePicture) {
  ControlSite& c = Control(QRect(0, 0, 320, 240));
  ASSERT_EQ(c.Invoke(id::DVCSetVInDevNo, {Variant(std::int16_t(1))}), S_OK);  // the black camera
  ASSERT_EQ(Long(id::DVCPreviewOn3), S_OK);
  const std::vector<Variant> text = {Variant(u"ようこそ Welcome"), Variant(std::int32_t(0xFFFFFF)),
                                     Variant(std::int32_t(0)), Variant(std::int32_t(0)), Variant(0.6f),
                                     Variant(0.4f), Variant(std::int16_t(1))};
  std::vector<Variant> args = text;
  Variant r;
  ASSERT_EQ(c.InvokeArgs(id::DVCSetAlphaText, args, &r), S_OK);
  ASSERT_EQ(r.I4(), S_OK);
  const int before = LeftmostBright(Shot());
  ASSERT_GE(before, 150) << "text not shown at 0.6 of the width";
  EXPECT_EQ(Long(id::DVCSetAlphaTextSlide, {Variant(std::int16_t(1)), Variant(std::int32_t(20))}), S_OK);
  Pump(300);  // about 15 ticks of 0.02
  const int after = LeftmostBright(Shot());
  EXPECT_LT(after, before - 40);
  EXPECT_GT(after, 0);
  // Switching the text off stops the slide and takes the letters away.
  args = text;
  args[6] = Variant(std::int16_t(0));
  ASSERT_EQ(c.InvokeArgs(id::DVCSetAlphaText, args, &r), S_OK);
  EXPECT_EQ(Bright(Shot(), QRect(0, 0, 320, 240)), 0);
  // The photograph never carries the text.
  args[6] = Variant(std::int16_t(1));
  ASSERT_EQ(c.InvokeArgs(id::DVCSetAlphaText, args, &r), S_OK);
  const QString photo = File("plain.bmp");
  ASSERT_EQ(Long(id::DVCStillCapture, {Variant(photo), Variant(std::int32_t(-1))}), S_OK);
  EXPECT_EQ(Bright(QImage(photo), QRect(0, 0, 320, 240)), 0);
}

// A real V4L2 camera, when one is attached and ORNIK_TEST_REAL_CAMERA=1 asks for it.
TEST(RealCamera, StationRoadOnTheFirstV4l2Camera) {
  if (qEnvironmentVariable("ORNIK_TEST_REAL_CAMERA") != QStringLiteral("1"))
    GTEST_SKIP() << "set ORNIK_TEST_REAL_CAMERA=1 with a camera attached";
  QTemporaryDir dir;
  qputenv(kRegistryEnv, QFile::encodeName(dir.filePath(QStringLiteral("registry.json"))));
  ASSERT_EQ(CallSelfRegistration(QCoreApplication::applicationDirPath() + QStringLiteral("/libOrnik.so"), false,
                                 nullptr),
            S_OK);
  QWidget parent;
  parent.resize(640, 480);
  parent.show();
  auto site = CreateControl(QStringLiteral("ORNIK.OrnikCtrl.1"), &parent, {QRect(0, 0, 640, 480), true});
  ASSERT_TRUE(site);
  Variant r;
  site->Invoke(id::DVCInitialize, {}, &r);
  site->Invoke(id::DVCGetVInDevNo, {}, &r);
  ASSERT_GE(r.I4(), 1) << "no camera found";
  site->Invoke(id::DVCSetVInDevNo, {Variant(std::int16_t(0))});
  site->Invoke(id::DVCPreviewOn3, {}, &r);
  ASSERT_EQ(r.I4(), S_OK);
  const QString photo = dir.filePath(QStringLiteral("real.bmp"));
  site->Invoke(id::DVCStillCapture, {Variant(photo), Variant(std::int32_t(-1))}, &r);
  ASSERT_EQ(r.I4(), S_OK);
  const QImage still(photo);
  ASSERT_FALSE(still.isNull());
  std::printf("real camera still: %dx%d\n", still.width(), still.height());
  site->Invoke(id::DVCPreviewOff);
  site.reset();
  qunsetenv(kRegistryEnv);
}
