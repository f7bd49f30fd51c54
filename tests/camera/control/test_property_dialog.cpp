// The control's property dialog through its members, in this process: the compressor's and the
// audio input's element properties, and a sheet the engine describes (the capture pin's format),
// all answered through the one dialog hook.
#include <gst/gst.h>

#include <cstdlib>

#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QThread>

#include "CaptureDlg.h"
#include "OrnikCtrl.h"
#include "OrnikDispIds.h"
#include "PropertyDlg.h"
#include "engine/capture_engine.h"
#include "engine/devices.h"
#include "numbered_media.h"
#include "ornik_fixture.h"
#include "virtcam.h"

using namespace com;
namespace id = ornik::dispid;

namespace {

class PropertyDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(capture::EnsureGstInit());
    ASSERT_TRUE(virtcam::Register());
    virtcam::HideRealProviders();
    virtcam::Camera cam;
    cam.name = "Virtual Camera A";
    virtcam::SetCameras({cam});
    virtcam::SetMicrophones({{"Virtual Microphone", "sine", {}}});
    parent_.resize(400, 300);
    parent_.show();
    ASSERT_EQ(COrnikCtrl::CreateObject(IID_IDispatch, dispatch_.PutVoid()), S_OK);
    ctrl_ = static_cast<COrnikCtrl*>(dispatch_.Get());
    ASSERT_EQ(ctrl_->CreateControlWindow(&parent_, QRect(0, 0, 320, 240)), S_OK);
  }
  void TearDown() override {
    SetPropertyDialogHook(nullptr);
    virtcam::SetMicrophones({});
  }
  std::int32_t Call(DISPID n, std::vector<Variant> args = {}) {
    Variant r;
    EXPECT_EQ(dispatch_->Invoke(n, DISPATCH_METHOD, args.data(), std::uint32_t(args.size()), &r, nullptr), S_OK);
    return r.Type() == VT_I4 ? r.I4() : 0;
  }
  // The next dialogs are answered by `edit`: it gets the dialog and says whether to confirm.
  void Answer(std::function<bool(QDialog&)> edit) {
    SetPropertyDialogHook([this, edit](QDialog& dialog) {
      titles_.push_back(dialog.windowTitle());
      return edit(dialog) ? QDialog::Accepted : QDialog::Rejected;
    });
  }
  CCaptureEngine* Engine() { return ctrl_->m_pDlg->Engine(); }
  std::string Temp(const char* name) { return dir_.filePath(QString::fromLatin1(name)).toStdString(); }

  QWidget parent_;
  ComPtr<IDispatch> dispatch_;
  COrnikCtrl* ctrl_ = nullptr;
  std::vector<QString> titles_;
  QTemporaryDir dir_;
};

}  // namespace

TEST_F(PropertyDialog, CompressorAndAudioInputPropertiesApplyOnlyWhenConfirmed) {
  Answer([](QDialog&) { return true; });
  EXPECT_EQ(Call(id::DVCVCompProperty), E_FAIL) << "no graph, no compressor";
  EXPECT_TRUE(titles_.empty());
  ASSERT_EQ(Call(id::DVCPreviewOn3), S_OK);
  EXPECT_EQ(Call(id::DVCAudioFilterProperty), E_FAIL) << "no audio input in the graph";
  EXPECT_TRUE(titles_.empty());

  const int jpeg = capture::CompressorList().IndexOf("jpegenc");
  ASSERT_GE(jpeg, 0);
  Call(id::DVCSetVCompNo, {Variant(std::int16_t(jpeg))});
  ASSERT_EQ(Call(id::DVCSetCapFile2, {Variant(QString::fromStdString(Temp("props.avi")))}), S_OK);
  GstElement* compressor = Engine()->CompressorElement();
  GstElement* microphone = Engine()->AudioSourceElement();
  ASSERT_TRUE(compressor && microphone);

  // A cancelled dialog changes nothing.
  Answer([](QDialog& d) {
    d.findChild<QSpinBox*>(QStringLiteral("quality"))->setValue(11);
    return false;
  });
  EXPECT_EQ(Call(id::DVCVCompProperty), S_OK);
  gint quality = 0;
  g_object_get(compressor, "quality", &quality, nullptr);
  EXPECT_EQ(quality, 85);

  Answer([](QDialog& d) {
    auto* box = d.findChild<QSpinBox*>(QStringLiteral("quality"));
    if (!box) return false;
    box->setValue(40);
    return true;
  });
  EXPECT_EQ(Call(id::DVCVCompProperty), S_OK);
  g_object_get(compressor, "quality", &quality, nullptr);
  EXPECT_EQ(quality, 40);

  Answer([](QDialog& d) {
    auto* box = d.findChild<QDoubleSpinBox*>(QStringLiteral("freq"));
    if (!box) return false;
    box->setValue(880.0);
    return true;
  });
  EXPECT_EQ(Call(id::DVCAudioFilterProperty), S_OK);
  gdouble freq = 0;
  g_object_get(microphone, "freq", &freq, nullptr);
  EXPECT_DOUBLE_EQ(freq, 880.0);
  ASSERT_EQ(titles_.size(), 3u);
  EXPECT_EQ(titles_[1], QStringLiteral("Video Compressor"));
  EXPECT_EQ(titles_[2], QStringLiteral("Virtual Microphone"));

  // The compressor's settings would stop the graph: refused while recording, no dialog shown.
  ASSERT_EQ(Call(id::DVCRecStart), S_OK);
  EXPECT_EQ(Call(id::DVCVCompProperty), VFW_E_WRONG_STATE);
  EXPECT_EQ(titles_.size(), 3u);
  Call(id::DVCRecStop);
  Call(id::DVCPreviewOff);
}

// The engine's own sheets go through the same dialog and hook: the capture pin's format entry.
TEST_F(PropertyDialog, PinSheetChoosesTheFormatEntry) {
  ASSERT_EQ(Call(id::DVCPreviewOn3), S_OK);
  Answer([](QDialog& d) {
    auto* box = d.findChild<QSpinBox*>(QStringLiteral("Format"));
    if (!box) return false;
    box->setValue(3);  // YUY2 1280x720 of the default virtual camera
    return true;
  });
  EXPECT_EQ(Call(id::DVCCapturePinProperty), S_OK);
  ASSERT_EQ(titles_.size(), 1u);
  EXPECT_EQ(titles_[0].trimmed(), QStringLiteral("Capture Pin"));
  std::int32_t w = 0, h = 0;
  ASSERT_EQ(Engine()->GetResolution(capture::PinCategory::Capture, &w, &h), S_OK);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
  Call(id::DVCPreviewOff);
}

// A pin sheet builds the preview again behind the recording branch: it is refused while the
// recording runs, and a recording only set up is finished into a whole file before the rebuild.
// A recording set up after the sheet records as usual.
TEST_F(PropertyDialog, PinSheetsLeaveARecordingWhole) {
  auto file = [this](const char* name) { return Variant(QString::fromStdString(Temp(name))); };
  auto seconds = [this](const char* name) {
    gint64 length = -1;
    std::string caps;
    return testmedia::Probe(Temp(name), &length, &caps) ? double(length) / GST_SECOND : -1.0;
  };
  Answer([](QDialog&) { return true; });
  ASSERT_EQ(Call(id::DVCPreviewOn3), S_OK);
  ASSERT_EQ(Call(id::DVCSetCapFile, {file("running.avi")}), S_OK);
  ASSERT_EQ(Call(id::DVCRecStart), S_OK);
  QThread::msleep(500);
  EXPECT_EQ(Call(id::DVCCapturePinProperty), VFW_E_WRONG_STATE);
  EXPECT_EQ(Call(id::DVCPreviewPinProperty), VFW_E_WRONG_STATE);
  EXPECT_TRUE(titles_.empty()) << "no sheet while recording";
  QThread::msleep(500);
  ASSERT_EQ(Call(id::DVCRecStop), S_OK);

  ASSERT_EQ(Call(id::DVCSetCapFile, {file("set-up.avi")}), S_OK);  // finishes running.avi
  EXPECT_NEAR(seconds("running.avi"), 1.0, 0.25) << "the recording went on through the refused sheets";
  EXPECT_EQ(Call(id::DVCPreviewPinProperty), S_OK);
  EXPECT_EQ(Call(id::DVCRecStart), E_FAIL) << "the branch was finished with the rebuild";
  EXPECT_GT(QFileInfo(QString::fromStdString(Temp("set-up.avi"))).size(), 0);

  EXPECT_EQ(Call(id::DVCCapturePinProperty), S_OK);
  ASSERT_EQ(Call(id::DVCSetCapFile, {file("after.avi")}), S_OK);
  ASSERT_EQ(Call(id::DVCRecStart), S_OK);
  QThread::msleep(500);
  ASSERT_EQ(Call(id::DVCRecStop), S_OK);
  Call(id::DVCPreviewOff);
  EXPECT_NEAR(seconds("after.avi"), 0.5, 0.2);
}

// A host's recording session through the members: raw, MJPEG and H.264 AVI files with sound,
// each recorded, stopped, started again into the same file and finished by the preview's end;
// every file decodes to the frames of its length. ORNIK_TEST_WARM_UP_ENCODERS (set by
// scripts/valgrind-camera.sh) records once with each encoder before its checked recording: under
// valgrind the first run of an encoder's code holds the checker's one thread for a long while, and
// the camera's live source, which then gets no turn, leaves its frames out.
TEST_F(PropertyDialog, RecordingsThroughTheMembersInEveryAviCoding) {
  auto file = [this](const std::string& name) { return Variant(QString::fromStdString(Temp(name.c_str()))); };
  const bool warmUp = std::getenv("ORNIK_TEST_WARM_UP_ENCODERS") != nullptr;
  for (const char* compressor : {"", "jpegenc", "x264enc"}) {
    SCOPED_TRACE(compressor);
    const int index = *compressor ? capture::CompressorList().IndexOf(compressor) : -1;
    if (*compressor && index < 0) {
      ADD_FAILURE() << compressor << " is not listed";
      continue;
    }
    const std::string name = std::string("rec-") + (*compressor ? compressor : "raw") + ".avi";
    for (bool checked : {false, true}) {
      if (!checked && !(warmUp && *compressor)) continue;
      ASSERT_EQ(Call(id::DVCPreviewOn3), S_OK);
      Call(id::DVCSetVCompNo, {Variant(std::int16_t(index))});
      ASSERT_EQ(Call(id::DVCSetCapFile2, {file(checked ? name : "warm-up-" + name)}), S_OK);
      ASSERT_EQ(Call(id::DVCRecStart), S_OK);
      QThread::msleep(700);
      ASSERT_EQ(Call(id::DVCRecStop), S_OK);
      ASSERT_EQ(Call(id::DVCRecStart), S_OK);
      QThread::msleep(500);
      ASSERT_EQ(Call(id::DVCRecStop), S_OK);
      Call(id::DVCPreviewOff);
    }
    gint64 length = -1;
    std::string caps;
    ASSERT_TRUE(testmedia::Probe(Temp(name.c_str()), &length, &caps));
    EXPECT_GT(double(length) / GST_SECOND, 0.8);
    const std::vector<QImage> frames = testmedia::DecodeFrames(Temp(name.c_str()));
    EXPECT_NEAR(double(frames.size()), 30.0 * double(length) / GST_SECOND, 3.0);
  }
}
