// Recording on the running live graph: AVI and ASF files decoded back, stretches joined into one
// file, the settings of the compressor and the audio input, and what is refused while recording.
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cmath>

#include "engine/devices.h"
#include "engine_fixture.h"
#include "support/support_program.h"

using namespace cameratest;

namespace {

int CompressorIndex(const char* factoryName) { return capture::CompressorList().IndexOf(factoryName); }

}  // namespace

class Record : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    UseCameras({Cam("Door", "smpte75", {"I420 320x240@30"})});
    virtcam::SetMicrophones({{"Virtual Microphone", "sine", {"Microphone", "Line In", "CD"}}});
  }
  void TearDown() override { virtcam::SetMicrophones({}); }
  // Records `seconds` of the running preview.
  static void Take(CCaptureEngine& engine, double seconds) {
    ASSERT_EQ(engine.RecStart(), com::S_OK);
    QThread::msleep(static_cast<unsigned long>(seconds * 1000));
    ASSERT_EQ(engine.RecStop(), com::S_OK);
  }
};

TEST_F(Record, AviAndAsfFilesDecodeWithTheirFramesAndDuration) {
  struct Case {
    const char* file;
    const char* compressor;
    bool audio;
    const char* container;
  };
  const Case cases[] = {{"MJPEG.AVI", "jpegenc", true, "video/x-msvideo"},
                        {"raw.avi", nullptr, false, "video/x-msvideo"},
                        {"door.asf", nullptr, true, "video/x-ms-asf"},
                        {"silent.wmv", nullptr, false, "video/x-ms-asf"}};
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    engine.SetCompressorIndex(c.compressor ? CompressorIndex(c.compressor) : -1);
    ASSERT_EQ(engine.SetCaptureFile(TempFile(c.file), c.audio), com::S_OK);
    Take(engine, 1.0);
    EXPECT_EQ(engine.SaveGrabberBitmap(TempFile("during.bmp")), com::S_OK) << "the preview stopped";
    engine.SetCaptureFile(TempFile(std::string("next-") + c.file), false);  // finalises the file
    const Decoded d = Decode(TempFile(c.file));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.container, c.container);
    EXPECT_EQ(d.audio, c.audio);
    EXPECT_NEAR(d.frames, 30, 4);
    EXPECT_NEAR(d.seconds, 1.0, 0.2);
  }
}

TEST_F(Record, StopAndStartAgainJoinsTheStretchesInOneFile) {
  CCaptureEngine engine;
  EXPECT_EQ(engine.RecStart(), com::E_FAIL);  // nothing set up
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.RecStart(), com::E_FAIL);
  ASSERT_EQ(engine.SetCaptureFile(TempFile("one.avi"), true), com::S_OK);
  Take(engine, 0.6);
  QThread::msleep(500);  // blocked: nothing of this goes into the file
  Take(engine, 0.6);
  ASSERT_EQ(engine.SetCaptureFile(TempFile("two.avi"), false), com::S_OK);  // a second file
  Take(engine, 0.5);
  engine.TearDownGraph();  // drains the running branch into its file
  const Decoded one = Decode(TempFile("one.avi"));
  ASSERT_TRUE(one.ok);
  EXPECT_NEAR(one.frames, 36, 5);
  EXPECT_NEAR(one.seconds, 1.2, 0.2);
  EXPECT_TRUE(one.audio);
  const Decoded two = Decode(TempFile("two.avi"));
  ASSERT_TRUE(two.ok);
  EXPECT_NEAR(two.frames, 15, 4);
}

TEST_F(Record, FailedSetUpKeepsNoFileNameAndNoMicrophoneFailsTheSoundRecording) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOn(&window_), com::S_OK);
  virtcam::SetMicrophones({});
  EXPECT_LT(engine.SetCaptureFile(TempFile("sound.avi"), true), 0);
  EXPECT_EQ(engine.RecStart(), com::E_FAIL);
  EXPECT_LT(engine.SetCaptureFile("/nonexistent/folder/x.avi", false) | engine.RecStart(), 0);
}

TEST_F(Record, CompressorSettingsFollowTheirCapabilities) {
  CCaptureEngine engine;
  std::int32_t caps = -1, kframe = 0;
  double quality = 0;
  EXPECT_EQ(engine.GetCompressorCaps(&caps), com::E_FAIL);
  EXPECT_EQ(caps, 0);
  EXPECT_EQ(engine.GetCompressorQuality(&quality), com::E_FAIL);
  EXPECT_EQ(quality, -1.0);
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  std::int32_t dropped = 0;
  EXPECT_EQ(engine.GetDropped(&dropped), com::E_FAIL);

  // jpegenc has a quality and nothing else.
  engine.SetCompressorIndex(CompressorIndex("jpegenc"));
  ASSERT_EQ(engine.SetCaptureFile(TempFile("q.avi"), false), com::S_OK);
  ASSERT_EQ(engine.GetCompressorCaps(&caps), com::S_OK);
  EXPECT_EQ(caps, capture::kCompCanQuality);
  EXPECT_EQ(engine.SetCompressorQuality(0.5), com::S_OK);
  ASSERT_EQ(engine.GetCompressorQuality(&quality), com::S_OK);
  EXPECT_NEAR(quality, 0.5, 0.01);
  EXPECT_EQ(engine.SetKeyFrameRate(10), com::E_FAIL);
  EXPECT_EQ(engine.GetKeyFrameRate(&kframe), com::S_OK);
  EXPECT_EQ(kframe, -1);

  // An MPEG-4 encoder has key frames, B frames and a data rate.
  const int mpeg4 = CompressorIndex("avenc_mpeg4");
  if (mpeg4 >= 0) {
    engine.SetCompressorIndex(mpeg4);
    ASSERT_EQ(engine.SetCaptureFile(TempFile("k.avi"), false), com::S_OK);
    ASSERT_EQ(engine.GetCompressorCaps(&caps), com::S_OK);
    EXPECT_EQ(caps & (capture::kCompCanKeyFrame | capture::kCompCanCrunch),
              capture::kCompCanKeyFrame | capture::kCompCanCrunch);
    EXPECT_EQ(engine.SetKeyFrameRate(15), com::S_OK);
    EXPECT_EQ(engine.GetKeyFrameRate(&kframe), com::S_OK);
    EXPECT_EQ(kframe, 15);
    std::int32_t rate = 0, size = 0;
    EXPECT_EQ(engine.SetCrunch(800000, 4096), com::S_OK);
    EXPECT_EQ(engine.GetCrunch(&rate, &size), com::S_OK);
    EXPECT_EQ(rate, 800000);
    EXPECT_EQ(size, 4096);
  }
  // The counters of the recording queue.
  Take(engine, 0.5);
  std::int32_t passed = 0;
  ASSERT_EQ(engine.GetNotDropped(&passed), com::S_OK);
  EXPECT_NEAR(passed, 15, 5);
  ASSERT_EQ(engine.GetDropped(&dropped), com::S_OK);
  EXPECT_EQ(dropped, 0);
}

TEST_F(Record, GraphStoppingSettersAreRefusedWhileRecordingAndFrameRateZeroIsRefused) {
  UseCameras({Cam("Range", "smpte75", {"video/x-raw,format=I420,width=320,height=240,framerate=[1/1,30/1]"})});
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.SetCaptureFrameRate(0.0), com::E_INVALIDARG);
  ASSERT_EQ(engine.SetCaptureFrameRate(15.0), com::S_OK);
  std::int64_t frameTime = 0;
  for (int i = 0; i < 100 && frameTime != 666666; ++i) {
    QThread::msleep(10);
    engine.GetRendererFrameTime(&frameTime);
  }
  EXPECT_EQ(frameTime, 666666);

  engine.SetCompressorIndex(CompressorIndex("jpegenc"));
  ASSERT_EQ(engine.SetCaptureFile(TempFile("busy.avi"), true), com::S_OK);
  ASSERT_EQ(engine.RecStart(), com::S_OK);
  EXPECT_EQ(engine.GraphState(), capture::GraphState::Recording);
  std::int32_t rate = 0, size = 0;
  EXPECT_EQ(engine.SetCaptureFrameRate(30.0), com::VFW_E_WRONG_STATE);
  EXPECT_EQ(engine.SetAudioFormat(1, 2, 22050), com::VFW_E_WRONG_STATE);
  EXPECT_EQ(engine.SetCrunch(1, 1), com::E_FAIL);  // jpegenc has no data rate to set
  EXPECT_EQ(engine.GetCrunch(&rate, &size), com::E_FAIL);
  EXPECT_EQ(engine.SetStreamCaps(capture::PinCategory::Capture, 0, 0, 0, nullptr), com::VFW_E_WRONG_STATE);
  EXPECT_EQ(engine.SetCaptureFile(TempFile("other.avi"), false), com::VFW_E_WRONG_STATE);
  EXPECT_EQ(engine.SetCompressorQuality(0.9), com::S_OK);  // changes nothing of the graph
  ASSERT_EQ(engine.RecStop(), com::S_OK);
  EXPECT_EQ(engine.GraphState(), capture::GraphState::LiveWithGrabber);
  EXPECT_EQ(engine.SetAudioFormat(1, 2, 22050), com::S_OK);
}

// The frames counted as not dropped are the frames the file holds, with sound (whose
// interleaving keeps frames waiting in the branch when the recording stops) and without.
TEST_F(Record, NotDroppedCountsEveryFrameTheFileHolds) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  for (const bool audio : {true, false}) {
    SCOPED_TRACE(audio ? "with sound" : "silent");
    const std::string file = TempFile(audio ? "sound.avi" : "silent.avi");
    ASSERT_EQ(engine.SetCaptureFile(file, audio), com::S_OK);
    Take(engine, 1.5);
    std::int32_t notDropped = 0, dropped = -1;
    ASSERT_EQ(engine.GetNotDropped(&notDropped), com::S_OK);
    ASSERT_EQ(engine.GetDropped(&dropped), com::S_OK);
    ASSERT_EQ(engine.SetCaptureFile(TempFile("next.avi"), false), com::S_OK);  // finalises the file
    const Decoded d = Decode(file);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(notDropped, d.frames);
    EXPECT_EQ(dropped, 0);
  }
}

// An uncompressed recording's bitmap header gives the size of a frame as the file holds it.
TEST_F(Record, RawRecordingsGiveTheirFrameSizeInTheHeader) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetCaptureFile(TempFile("raw.avi"), false), com::S_OK);
  Take(engine, 0.5);
  engine.TearDownGraph();
  const std::vector<std::uint8_t> bytes = ReadFile(TempFile("raw.avi"));
  const std::string text(bytes.begin(), bytes.end());
  const std::size_t strf = text.find("strf", text.find("vids"));
  ASSERT_NE(strf, std::string::npos);
  const std::size_t bih = strf + 8;
  EXPECT_EQ(Le32(bytes, bih + 4), 320u);
  EXPECT_EQ(Le32(bytes, bih + 8), 240u);
  // The size of the first frame's chunk in the file.
  const std::size_t chunk = text.find("00db", text.find("movi"));
  ASSERT_NE(chunk, std::string::npos);
  EXPECT_EQ(Le32(bytes, bih + 20), Le32(bytes, chunk + 4));
  EXPECT_GT(Le32(bytes, bih + 20), 320u * 240u);
  EXPECT_TRUE(Decode(TempFile("raw.avi")).ok);
}

TEST_F(Record, AudioLinesAndTheFormatTable) {
  CCaptureEngine engine;
  short channels = 0, bytes = 0;
  std::int32_t rate = 0;
  EXPECT_EQ(engine.GetAudioLineCount(), 0);
  EXPECT_EQ(engine.GetAudioFormat(&channels, &bytes, &rate), com::E_FAIL);
  ASSERT_EQ(engine.PreviewOn(&window_), com::S_OK);
  ASSERT_EQ(engine.SetCaptureFile(TempFile("lines.asf"), true), com::S_OK);
  ASSERT_EQ(engine.GetAudioLineCount(), 3);
  EXPECT_EQ(engine.GetAudioLineName(1), "Line In");
  EXPECT_EQ(engine.GetAudioLineName(3), "");
  EXPECT_EQ(engine.SetAudioLine(1), com::S_OK);
  EXPECT_EQ(engine.EnabledAudioLine(), 1);
  EXPECT_LT(engine.SetAudioLine(3), 0);  // no such line: nothing is muted
  EXPECT_EQ(engine.EnabledAudioLine(), 1);
  EXPECT_EQ(engine.SetAudioFormat(2, 2, 48000), com::E_FAIL);
  EXPECT_EQ(engine.SetAudioFormat(3, 2, 44100), com::E_FAIL);
  EXPECT_EQ(engine.SetAudioFormat(1, 3, 22050), com::E_FAIL);
  ASSERT_EQ(engine.SetAudioFormat(2, 2, 44100), com::S_OK);
  ASSERT_EQ(engine.GetAudioFormat(&channels, &bytes, &rate), com::S_OK);
  EXPECT_EQ(capture::AudioFormat({channels, bytes, rate}).BytesPerSecond(), 176400);
  EXPECT_EQ(capture::AudioFormat({channels, bytes, rate}).BlockAlign(), 4);
}

// Every listed compressor writes a file whose frames decode at the live format; encoders that
// refuse it (MPEG-1 and MPEG-2 at this format, the hardware encoders of a machine without the
// hardware) are not listed. Their factories exist here, so the list is shorter than the encoders.
TEST_F(Record, EveryListedCompressorRecordsAtTheLiveFormat) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  const int count = engine.GetCompressorCount();
  ASSERT_GT(count, 0);
  std::vector<std::string> listed;
  for (int i = 0; i < count; ++i) {
    GstElement* encoder = nullptr;
    ASSERT_EQ(engine.CreateCompressor(i, &encoder), com::S_OK);
    listed.push_back(GST_OBJECT_NAME(gst_element_get_factory(encoder)));
    gst_object_unref(encoder);
  }
  for (const char* refusing : {"avenc_mpeg1video", "avenc_mpeg2video", "avenc_h264_omx", "avenc_mpeg4_omx"}) {
    GstElementFactory* factory = gst_element_factory_find(refusing);
    if (!factory) continue;
    gst_object_unref(factory);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), refusing), 0) << refusing << " is listed";
  }
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(listed[std::size_t(i)]);
    engine.SetCompressorIndex(i);
    const std::string file = TempFile(listed[std::size_t(i)] + ".avi");
    ASSERT_EQ(engine.SetCaptureFile(file, false), com::S_OK);
    Take(engine, 0.4);
    ASSERT_EQ(engine.SetCaptureFile(TempFile("next.avi"), false), com::S_OK);  // finalises the file
    EXPECT_GT(Decode(file).frames, 5);
  }
  // The list at another live format is that format's own, and still records.
  UseCameras({Cam("Wide", "ball", {"I420 640x360@25"})});
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  const int wideCount = engine.GetCompressorCount();
  ASSERT_GE(wideCount, 1);
  engine.SetCompressorIndex(wideCount - 1);
  ASSERT_EQ(engine.SetCaptureFile(TempFile("wide.avi"), false), com::S_OK);
  Take(engine, 0.4);
  engine.TearDownGraph();
  EXPECT_GT(Decode(TempFile("wide.avi")).frames, 5);
}

namespace {

// The error-abort events waiting in the graph, with their codes.
std::vector<long> ErrorAborts(CCaptureEngine& engine) {
  std::vector<long> codes;
  long code = 0;
  std::intptr_t p1 = 0, p2 = 0;
  while (engine.GetEvent(&code, &p1, &p2, 0) == com::S_OK)
    if (code == capture::ec::kErrorAbort) codes.push_back(long(p1));
  return codes;
}

}  // namespace

// A disk that fills while the frames are written, and one that fills only when the index is
// written: the failure reaches the host as the disk-full code of the call and an error-abort
// event, the live picture runs on, and the file keeps the frames it holds, with an index.
TEST_F(Record, AFullDiskIsReportedAndTheFileKeepsAnIndexOfItsFrames) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  {
    SCOPED_TRACE("filled by the frames");
    testsupport::SmallDisk disk(3 << 20);  // about a dozen raw frames
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    const std::string file = disk.Path().toStdString() + "raw.avi";
    ASSERT_EQ(engine.SetCaptureFile(file, false), com::S_OK);
    ASSERT_EQ(engine.RecStart(), com::S_OK);
    QThread::msleep(1000);
    EXPECT_EQ(engine.RecStop(), com::E_DISK_FULL);
    EXPECT_EQ(engine.RecStart(), com::E_DISK_FULL);  // nothing more goes into this file
    const std::vector<long> aborts = ErrorAborts(engine);
    EXPECT_EQ(std::count(aborts.begin(), aborts.end(), com::E_DISK_FULL), 1);
    QThread::msleep(200);
    EXPECT_EQ(engine.SaveGrabberBitmap(TempFile("still.bmp")), com::S_OK) << "the live picture stopped";
    ASSERT_EQ(engine.SetCaptureFile(TempFile("next.avi"), false), com::S_OK);  // already reported
    const int indexed = AviIndexEntries(file);
    EXPECT_GT(indexed, 3);
    const Decoded d = Decode(file);
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.frames, indexed);
  }
  {
    SCOPED_TRACE("filled when the index is written");
    testsupport::SmallDisk disk(8 << 20);
    const std::string file = disk.Path().toStdString() + "door.avi";
    engine.SetCompressorIndex(CompressorIndex("jpegenc"));
    ASSERT_EQ(engine.SetCaptureFile(file, false), com::S_OK);
    Take(engine, 1.0);
    disk.Fill();
    EXPECT_EQ(engine.SetCaptureFile(TempFile("next.avi"), false), com::E_DISK_FULL);
    const std::vector<long> aborts = ErrorAborts(engine);
    EXPECT_EQ(std::count(aborts.begin(), aborts.end(), com::E_DISK_FULL), 1);
    const int indexed = AviIndexEntries(file);
    EXPECT_GT(indexed, 10);
    const Decoded d = Decode(file);
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.frames, indexed);
    EXPECT_EQ(engine.SetCaptureFile(TempFile("next.avi"), false), com::S_OK);  // reported once
  }
  EXPECT_EQ(engine.SaveGrabberBitmap(TempFile("still.bmp")), com::S_OK);
}

namespace {

// What ffmpeg makes of a file decoded to its end: its exit code, its error lines and the frames
// it decoded.
struct FfmpegRun {
  int exitCode = -1;
  std::string errors;
  int frames = 0;
};

FfmpegRun DecodeWithFfmpeg(const std::string& file) {
  QProcess ffmpeg;
  // Frames keep the file's millisecond times: on ffmpeg's default time base of one frame, an ASF
  // whose frames lie half a frame off the start would collide after rounding.
  ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-i", QString::fromStdString(file), "-enc_time_base", "-1",
                          "-f", "null", "-", "-progress", "pipe:1"});
  FfmpegRun run;
  if (!ffmpeg.waitForFinished(60000)) return run;
  run.exitCode = ffmpeg.exitStatus() == QProcess::NormalExit ? ffmpeg.exitCode() : -1;
  run.errors = ffmpeg.readAllStandardError().trimmed().toStdString();
  for (const QByteArray& line : ffmpeg.readAllStandardOutput().split('\n'))
    if (line.startsWith("frame=")) run.frames = line.mid(6).trimmed().toInt();
  return run;
}

}  // namespace

// A recording that fills a small disk: the ASF (with sound) and the AVI (MJPEG) are closed over
// the packets and chunks they hold, and ffmpeg decodes each to its last whole frame without an
// error.
TEST_F(Record, FilesCutShortByAFullDiskAreDecodedByFfmpegToTheirLastWholeFrame) {
  if (QStandardPaths::findExecutable("ffmpeg").isEmpty()) GTEST_SKIP() << "ffmpeg is not installed";
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  engine.SetCompressorIndex(CompressorIndex("jpegenc"));  // the AVI's; the ASF has its own
  for (const auto& [name, audio] : {std::pair{"door.asf", true}, std::pair{"door.avi", false}}) {
    SCOPED_TRACE(name);
    testsupport::SmallDisk disk(100 << 10);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    const std::string file = disk.Path().toStdString() + name;
    ASSERT_EQ(engine.SetCaptureFile(file, audio), com::S_OK);
    ASSERT_EQ(engine.RecStart(), com::S_OK);
    long code = 0;
    std::intptr_t p1 = 0, p2 = 0;
    while (engine.GetEvent(&code, &p1, &p2, 30000) == com::S_OK && code != capture::ec::kErrorAbort) {
    }
    ASSERT_EQ(code, capture::ec::kErrorAbort) << "the disk never filled";
    EXPECT_EQ(p1, com::E_DISK_FULL);
    EXPECT_EQ(engine.RecStop(), com::E_DISK_FULL);
    ASSERT_EQ(engine.SetCaptureFile(TempFile("next.avi"), false), com::S_OK);  // already reported
    const FfmpegRun run = DecodeWithFfmpeg(file);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_GT(run.frames, 0);
  }
}

// A branch whose end does not reach its file in time (a slow encoder on a loaded machine): the
// AVI and the ASF are closed over the frames they hold, their headers count those frames, ffmpeg
// decodes them whole, and the live graph runs on into the next file.
TEST_F(Record, AnEndThatDoesNotComeInTimeLeavesAWholeFile) {
  if (QStandardPaths::findExecutable("ffmpeg").isEmpty()) GTEST_SKIP() << "ffmpeg is not installed";
  struct Limit {  // for this test alone, also when it stops on the way
    Limit() { setenv("ORNIK_FINISH_LIMIT_MS", "1", 1); }
    ~Limit() { unsetenv("ORNIK_FINISH_LIMIT_MS"); }
  } limit;
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  engine.SetCompressorIndex(CompressorIndex("jpegenc"));  // the AVI's; the ASF has its own
  for (const char* name : {"door.avi", "door.asf"}) {
    SCOPED_TRACE(name);
    const std::string file = TempFile(name);
    ASSERT_EQ(engine.SetCaptureFile(file, true), com::S_OK);
    Take(engine, 1.0);
    // Frames in the file (a loaded machine's encoder may still hold them all), its end not.
    for (int i = 0; i < 500 && QFileInfo(QString::fromStdString(file)).size() == 0; ++i) QThread::msleep(20);
    ASSERT_EQ(engine.SetCaptureFile(TempFile(std::string("next-") + name), false), com::S_OK);
    const Decoded d = Decode(file);
    ASSERT_TRUE(d.ok);
    EXPECT_GT(d.frames, 0);
    EXPECT_NEAR(d.seconds, d.frames / 30.0, 0.1);
    const FfmpegRun run = DecodeWithFfmpeg(file);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_NEAR(run.frames, d.frames, 1);
  }
}

// Key-frame and predicted-frame settings of an encoder that takes them only before it starts
// (x264) reach the file; once frames went in they are refused and the file keeps its own.
TEST_F(Record, KeyFrameSettingsReachTheEncoderBeforeItStarts) {
  const int x264 = CompressorIndex("x264enc");
  if (x264 < 0) GTEST_SKIP() << "x264enc (gst-plugins-ugly) is not installed";
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  engine.SetCompressorIndex(x264);
  const std::string file = TempFile("keys.avi");
  ASSERT_EQ(engine.SetCaptureFile(file, true), com::S_OK);
  std::int32_t kframe = 0, pframe = 0;
  EXPECT_EQ(engine.SetKeyFrameRate(10), com::S_OK);
  EXPECT_EQ(engine.SetPFramesPerKeyFrame(2), com::S_OK);
  EXPECT_EQ(engine.SetKeyFrameRate(-3), com::E_INVALIDARG);  // refused, the 10 stays
  ASSERT_EQ(engine.GetKeyFrameRate(&kframe), com::S_OK);
  ASSERT_EQ(engine.GetPFramesPerKeyFrame(&pframe), com::S_OK);
  EXPECT_EQ(kframe, 10);
  EXPECT_EQ(pframe, 2);
  ASSERT_EQ(engine.RecStart(), com::S_OK);
  QThread::msleep(1500);
  EXPECT_EQ(engine.SetKeyFrameRate(30), com::VFW_E_WRONG_STATE);
  ASSERT_EQ(engine.RecStop(), com::S_OK);
  EXPECT_EQ(engine.SetKeyFrameRate(30), com::VFW_E_WRONG_STATE);  // the file has frames
  ASSERT_EQ(engine.GetKeyFrameRate(&kframe), com::S_OK);
  EXPECT_EQ(kframe, 10);
  engine.TearDownGraph();
  const std::vector<bool> keys = AviKeyFrames(file);
  ASSERT_GT(keys.size(), 30u);
  int last = -1;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (!keys[i]) continue;
    if (last >= 0) {
      EXPECT_LE(int(i) - last, 10) << "key frames at " << last << " and " << i;
    }
    last = int(i);
  }
  EXPECT_GE(std::count(keys.begin(), keys.end(), true), int(keys.size()) / 10);
  EXPECT_TRUE(Decode(file).audio);
}

// ASF recordings, with sound and without, are read by ffmpeg's demuxer to their last frame: it
// counts the frames GStreamer plays and reports no fault in the file.
TEST_F(Record, AsfFilesAreReadWholeByAnotherDemuxer) {
  if (QStandardPaths::findExecutable("ffprobe").isEmpty()) GTEST_SKIP() << "ffprobe (ffmpeg) is not installed";
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  for (const bool audio : {true, false}) {
    SCOPED_TRACE(audio ? "with sound" : "silent");
    const std::string file = TempFile(audio ? "sound.asf" : "silent.asf");
    ASSERT_EQ(engine.SetCaptureFile(file, audio), com::S_OK);
    Take(engine, 1.5);
    ASSERT_EQ(engine.SetCaptureFile(TempFile("next.avi"), false), com::S_OK);  // finalises the file
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v", "-show_entries",
                            "stream=nb_read_frames", "-of", "csv=p=0", QString::fromStdString(file)});
    ASSERT_TRUE(probe.waitForFinished(30000));
    EXPECT_EQ(probe.readAllStandardError().trimmed().toStdString(), "");
    const int played = Decode(file).frames;
    EXPECT_GT(played, 30);
    EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput()).trimmed().toInt(), played);
  }
}

// At an odd live size many encoders cannot record: some refuse it, one records another size, and
// one library ends its whole process. Every encoder listed there records a file that ffmpeg
// decodes, with the host alive after each; one whose check ended its process (the check's hook
// stands for one) is not listed. An encoder chosen at the even size, which cannot record at the
// odd one, is refused there before a file is written.
TEST_F(Record, EveryCompressorListedAtAnOddSizeRecordsAFileFfmpegDecodes) {
  setenv("XDG_CACHE_HOME", TempFile("cache").c_str(), 1);
  UseCameras({Cam("Audit Cam", "ball", {"YUY2 320x240@30", "YUY2 321x241@30"})});
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  const auto listAt = [](const char* size) {
    const std::string text = std::string("video/x-raw,format=YUY2,") + size + ",framerate=30/1";
    capture::CapsPtr caps(gst_caps_from_string(text.c_str()));
    std::vector<std::string> names;
    capture::CompressorList list(caps.get());
    for (int i = 0; i < list.Count(); ++i) names.push_back(GST_OBJECT_NAME(list.At(i)));
    return names;
  };
  const std::vector<std::string> even = listAt("width=320,height=240");
  const auto x264 = std::find(even.begin(), even.end(), "x264enc");
  ASSERT_NE(x264, even.end()) << "x264enc records at 320 x 240";
  engine.SetCompressorIndex(int(x264 - even.begin()));
  setenv("ORNIK_COMPRESSOR_CHECK_FAULT", "jpegenc:abort", 1);
  ASSERT_EQ(engine.SetStreamCaps(capture::PinCategory::Capture, 1, 0, 0, nullptr), com::S_OK);
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 321);
  const std::string refused = TempFile("refused.avi");
  EXPECT_EQ(engine.SetCaptureFile(refused, false), com::VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_EQ(engine.RecStart(), com::VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_FALSE(FileExists(refused));

  const std::vector<std::string> odd = listAt("width=321,height=241");
  unsetenv("ORNIK_COMPRESSOR_CHECK_FAULT");
  ASSERT_EQ(engine.GetCompressorCount(), int(odd.size()));
  ASSERT_FALSE(odd.empty());
  for (const char* cannot : {"jpegenc", "x264enc", "openh264enc", "mpeg2enc"})
    EXPECT_EQ(std::count(odd.begin(), odd.end(), cannot), 0) << cannot << " is listed";
  for (std::size_t i = 0; i < odd.size(); ++i) {
    SCOPED_TRACE(odd[i]);
    engine.SetCompressorIndex(int(i));
    const std::string file = TempFile(odd[i] + ".avi");
    ASSERT_EQ(engine.SetCaptureFile(file, false), com::S_OK);
    Take(engine, 0.4);
    ASSERT_EQ(engine.SetCaptureFile(TempFile("next.avi"), false), com::S_OK);  // finalises the file
    const FfmpegRun run = DecodeWithFfmpeg(file);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_GT(run.frames, 5);
  }
  engine.TearDownGraph();
  unsetenv("XDG_CACHE_HOME");
}
