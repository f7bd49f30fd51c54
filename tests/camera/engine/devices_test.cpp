// The two lists a host picks from by position: cameras and compressors.
#include <gst/gst.h>

#include <QElapsedTimer>

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/devices.h"
#include "engine/hresult.h"
#include "engine_fixture.h"

using namespace cameratest;

class Devices : public CameraTest {};

TEST_F(Devices, CamerasAreCountedAndNamedByPosition) {
  CCaptureEngine engine;
  EXPECT_EQ(engine.GetVideoDeviceCount(), 2);
  EXPECT_EQ(engine.GetVideoDeviceName(0), "Virtual Camera A");
  EXPECT_EQ(engine.GetVideoDeviceName(1), "Virtual Camera B");
  EXPECT_EQ(engine.GetVideoDeviceName(2), "");
  EXPECT_EQ(engine.GetVideoDeviceName(-1), "");
  // Nothing is cached: the next call sees the cameras present then.
  UseCameras({Cam("Only", "smpte")});
  EXPECT_EQ(engine.GetVideoDeviceCount(), 1);
  EXPECT_EQ(engine.GetVideoDeviceName(0), "Only");
  UseCameras({});
  EXPECT_EQ(engine.GetVideoDeviceCount(), 0);
  EXPECT_EQ(engine.GetVideoDeviceName(0), "");
}

TEST_F(Devices, SelectionsAreStoredUnchecked) {
  CCaptureEngine engine;
  EXPECT_EQ(engine.VideoDeviceIndex(), 0);
  EXPECT_EQ(engine.CompressorIndex(), -1);
  engine.SetVideoDeviceIndex(7);
  engine.SetCompressorIndex(-5);
  EXPECT_EQ(engine.VideoDeviceIndex(), 7);
  EXPECT_EQ(engine.CompressorIndex(), -5);
}

TEST_F(Devices, CompressorsAreTheVideoEncodersByFactoryName) {
  CCaptureEngine engine;
  const int count = engine.GetCompressorCount();
  ASSERT_GT(count, 0) << "no video encoder installed";
  EXPECT_EQ(engine.GetCompressorName(count), "");
  EXPECT_EQ(engine.GetCompressorName(-1), "");
  // Every position creates an encoder of its own name; the factory names ascend.
  std::string previous;
  int jpeg = -1;
  for (int i = 0; i < count; ++i) {
    GstElement* encoder = nullptr;
    if (capture::Failed(engine.CreateCompressor(i, &encoder))) continue;  // hardware encoders may be absent
    GstElementFactory* factory = gst_element_get_factory(encoder);
    const std::string name = GST_OBJECT_NAME(factory);
    EXPECT_LT(previous, name);
    previous = name;
    EXPECT_EQ(engine.GetCompressorName(i),
              QString::fromUtf8(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME)));
    if (name == "jpegenc") jpeg = i;
    gst_object_unref(encoder);
  }
  EXPECT_GE(jpeg, 0) << "jpegenc (gst-plugins-good) not among the compressors";
  GstElement* encoder = reinterpret_cast<GstElement*>(this);
  EXPECT_EQ(engine.CreateCompressor(-1, &encoder), com::E_FAIL);
  EXPECT_EQ(encoder, nullptr);
  EXPECT_EQ(engine.CreateCompressor(count, &encoder), com::E_FAIL);
  EXPECT_EQ(encoder, nullptr);
}

namespace {

// The check's answer for an encoder in the cache file: "yes", "no", or empty (none kept).
std::string KeptAnswer(const std::string& encoder) {
  std::ifstream file(capture::CompressorCheckFile());
  for (std::string key, format, name, answer; file >> key >> format >> name >> answer;)
    if (name == encoder) return answer;
  return {};
}

// Whether the list at a raw format ("WxH" in I420 at 15/1, a format no other test lists at)
// offers the encoder.
bool ListedAt(const std::string& size, const char* encoder) {
  const std::string text = "video/x-raw,format=I420,width=" + size.substr(0, size.find('x')) +
                           ",height=" + size.substr(size.find('x') + 1) + ",framerate=15/1";
  capture::CapsPtr caps(gst_caps_from_string(text.c_str()));
  return capture::CompressorList(caps.get()).IndexOf(encoder) >= 0;
}

// The registry the tests' GStreamer runs on, kept by the check's program when the cache folder moves.
std::string CurrentRegistry() {
  if (const char* registry = std::getenv("GST_REGISTRY")) return registry;
  const std::string folder = std::string(g_get_user_cache_dir()) + "/gstreamer-1.0";
  GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
  std::string found;
  for (const gchar* name; dir && found.empty() && (name = g_dir_read_name(dir));)
    if (g_str_has_prefix(name, "registry.") && g_str_has_suffix(name, ".bin")) found = folder + "/" + name;
  if (dir) g_dir_close(dir);
  return found;
}

}  // namespace

// The compressor check runs in a program of the control's own. An encoder whose check ends
// without an answer (its recording never ends) is not listed and keeps no answer; it is asked
// again later, not by every list; the answer once given is kept.
TEST_F(Devices, ACheckWithoutAnAnswerIsAskedAgainLater) {
  const std::string registry = CurrentRegistry();
  if (!registry.empty()) setenv("GST_REGISTRY", registry.c_str(), 0);
  const std::string cache = TempFile("cache");
  setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  CCaptureEngine engine;
  // The next list, right after a check that ran out of time, does not ask (and wait) again.
  setenv("ORNIK_COMPRESSOR_CHECK_FAULT", "jpegenc:endless", 1);
  EXPECT_FALSE(ListedAt("112x80", "jpegenc"));
  unsetenv("ORNIK_COMPRESSOR_CHECK_FAULT");
  EXPECT_FALSE(ListedAt("112x80", "jpegenc"));
  EXPECT_EQ(KeptAnswer("jpegenc"), "");
  // Later it is asked again.
  setenv("ORNIK_COMPRESSOR_CHECK_RETRY_MS", "0", 1);
  EXPECT_TRUE(ListedAt("112x80", "jpegenc"));
  EXPECT_EQ(KeptAnswer("jpegenc"), "yes");
  unsetenv("ORNIK_COMPRESSOR_CHECK_RETRY_MS");
  struct stat st {};
  const bool kept = ::stat(capture::CompressorCheckFile().c_str(), &st) == 0;
  unsetenv("XDG_CACHE_HOME");
  ASSERT_TRUE(kept);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // only its user reads it
}

// Answers a cache folder cannot keep (a file stands where its folder should be) are kept by the
// process: the check runs once per format in the host's life, not at every count and name.
TEST_F(Devices, ACacheThatCannotBeWrittenStartsTheCheckOncePerFormat) {
  const std::string cache = TempFile("unwritable");
  ASSERT_EQ(::mkdir(cache.c_str(), 0700), 0);
  std::ofstream(cache + "/ornik") << "a file, not a folder\n";
  setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  const std::string runs = TempFile("runs");
  setenv("ORNIK_COMPRESSOR_CHECK_RUNS", runs.c_str(), 1);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(ListedAt("128x96", "jpegenc"));
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(ListedAt("144x96", "jpegenc"));
  unsetenv("ORNIK_COMPRESSOR_CHECK_RUNS");
  unsetenv("XDG_CACHE_HOME");
  std::ifstream log(runs);
  std::vector<std::string> started;
  for (std::string line; std::getline(log, line);) started.push_back(line);
  EXPECT_EQ(started.size(), 2u);
}

namespace {

// The processes of this user whose environment holds `mark`.
int ProcessesMarked(const std::string& mark) {
  int found = 0;
  GDir* proc = g_dir_open("/proc", 0, nullptr);
  for (const gchar* name; proc && (name = g_dir_read_name(proc));) {
    if (!g_ascii_isdigit(name[0]) || std::atoi(name) == ::getpid()) continue;
    gchar* environ = nullptr;
    gsize size = 0;
    if (g_file_get_contents((std::string("/proc/") + name + "/environ").c_str(), &environ, &size, nullptr) &&
        std::string(environ, size).find(mark) != std::string::npos)
      ++found;
    g_free(environ);
  }
  if (proc) g_dir_close(proc);
  return found;
}

}  // namespace

// A check that never answers, and has started a child that holds its output, holds a list no
// longer than the list's limit, and nothing of it is left: no process, no scratch folder (also
// not of a check that aborts).
TEST_F(Devices, ACheckThatNeverAnswersHoldsAListOnlyToItsLimitAndLeavesNothing) {
  setenv("XDG_CACHE_HOME", TempFile("cache").c_str(), 1);
  const std::string scratch = TempFile("tmp");
  ASSERT_EQ(::mkdir(scratch.c_str(), 0700), 0);
  setenv("TMPDIR", scratch.c_str(), 1);
  const std::string mark = "ORNIK_TEST_MARK=" + std::to_string(::getpid()) + "-" + std::to_string(g_random_int());
  putenv(const_cast<char*>(mark.c_str()));
  setenv("ORNIK_COMPRESSOR_CHECK_FAULT", ":hang", 1);
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(ListedAt("160x96", "jpegenc"));
  EXPECT_LT(timer.elapsed(), 10000);  // its limit is eight seconds
  // Killed, a process still takes a moment to be gone on a loaded machine; none lives on.
  QElapsedTimer gone;
  gone.start();
  while (ProcessesMarked(mark) > 0 && gone.elapsed() < 2000) g_usleep(10000);
  EXPECT_EQ(ProcessesMarked(mark), 0);
  setenv("ORNIK_COMPRESSOR_CHECK_FAULT", "jpegenc:abort", 1);
  EXPECT_FALSE(ListedAt("176x96", "jpegenc"));  // its check ended its process: it cannot record
  EXPECT_TRUE(ListedAt("176x96", "vp8enc") || ListedAt("176x96", "avenc_mpeg4"));  // the others were answered
  unsetenv("ORNIK_COMPRESSOR_CHECK_FAULT");
  unsetenv("ORNIK_TEST_MARK");
  unsetenv("TMPDIR");
  unsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(ProcessesMarked(mark), 0);
  GDir* dir = g_dir_open(scratch.c_str(), 0, nullptr);
  ASSERT_NE(dir, nullptr);
  const gchar* left = g_dir_read_name(dir);
  EXPECT_EQ(left, nullptr) << left << " left in the scratch folder";
  g_dir_close(dir);
}

// The cache file is used only when it is a regular file of the user's that nobody else may write,
// of a sane size: one another user could have changed (to list an encoder the check refused, or
// to hide one), a FIFO (which would hold the host) or a huge file is ignored, and the check asked.
TEST_F(Devices, ACacheFileTheUserDoesNotSolelyOwnIsIgnored) {
  setenv("XDG_CACHE_HOME", TempFile("cache").c_str(), 1);
  ASSERT_TRUE(ListedAt("192x96", "jpegenc"));  // the check's own answers are written
  const std::string file = capture::CompressorCheckFile();
  std::ifstream genuine(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(genuine, line);) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  // The same answers at another format, with jpegenc's turned to "no" (a list writes the file anew).
  const auto forge = [&](const std::string& size) {
    ::unlink(file.c_str());
    std::ofstream out(file);
    for (std::string line : lines) {
      const std::size_t no = line.find(" jpegenc yes");
      if (no != std::string::npos) line.replace(no, 12, " jpegenc no");
      const std::size_t at = line.find("width=192,height=96");
      if (at != std::string::npos)
        line.replace(at, 19, "width=" + size.substr(0, size.find('x')) + ",height=" + size.substr(size.find('x') + 1));
      out << line << "\n";
    }
    out.close();
    ::chmod(file.c_str(), 0600);
  };
  forge("208x96");
  EXPECT_FALSE(ListedAt("208x96", "jpegenc")) << "the forged answer was not read";
  forge("224x96");
  ASSERT_EQ(::chmod(file.c_str(), 0620), 0);
  EXPECT_TRUE(ListedAt("224x96", "jpegenc")) << "a file others may write was used";
  if (::geteuid() == 0) {
    forge("240x96");
    ASSERT_EQ(::chown(file.c_str(), 1, 1), 0);
    EXPECT_TRUE(ListedAt("240x96", "jpegenc")) << "another user's file was used";
  }
  forge("256x96");
  ASSERT_EQ(::truncate(file.c_str(), 239LL * 1024 * 1024), 0);  // sparse: the lines, then a hole
  EXPECT_TRUE(ListedAt("256x96", "jpegenc")) << "a huge file was used";
  ::unlink(file.c_str());
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  EXPECT_TRUE(ListedAt("272x96", "jpegenc"));  // and the list returned
  unsetenv("XDG_CACHE_HOME");
}

namespace {

// GStreamer reads its plugin path once per process. A test that needs a fresh GStreamer runs
// again in a new process of this binary; the parent only reports the child's outcome (true).
bool RanInOwnProcess() {
  if (std::getenv("ORNIK_OWN_PROCESS")) return false;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  std::vector<std::string> env{"ORNIK_OWN_PROCESS=1"};
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    execle("/proc/self/exe", "camera_engine_tests", filter.c_str(), static_cast<char*>(nullptr), envp.data());
    _exit(127);
  }
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "failed in its own process (see above)";
  return true;
}

}  // namespace

// Listing the compressors at a live format runs no encoder's code in the host: none of their
// plugins is loaded, and the host keeps none of their memory.
TEST_F(Devices, ListingTheCompressorsLoadsNoEncoderIntoTheHost) {
  if (RanInOwnProcess()) return;
  UseCameras({Cam("Listed", "smpte", {"I420 208x160@15", "I420 240x176@15"})});
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetStreamCaps(capture::PinCategory::Capture, 1, 0, 0, nullptr), com::S_OK);
  const int count = engine.GetCompressorCount();
  ASSERT_GT(count, 0);
  for (int i = 0; i < count; ++i) EXPECT_NE(engine.GetCompressorName(i), "");
  std::ifstream mapsFile("/proc/self/maps");
  const std::string maps((std::istreambuf_iterator<char>(mapsFile)), std::istreambuf_iterator<char>());
  for (const char* plugin : {"libgstlibav.so", "libgstx264.so", "libgstopenh264.so", "libgstvpx.so", "libgstjpeg.so"})
    EXPECT_EQ(maps.find(plugin), std::string::npos) << plugin << " was loaded";
}

// The plugin build of the virtual cameras: a process with no test code of its own sees the
// cameras ORNIK_VIRTCAMS describes, and only those.
TEST(VirtualCameraPlugin, ServesAProcessThroughTheEnvironment) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "GStreamer's plugin scanner cannot load a plugin built with AddressSanitizer";
#endif
  if (RanInOwnProcess()) return;
  ASSERT_FALSE(gst_is_initialized()) << "must run in a process of its own";
  const std::string plugins = ORNIK_PLUGIN_DIR;
  setenv("GST_PLUGIN_PATH", plugins.c_str(), 1);
  setenv("GST_REGISTRY", (plugins + "/registry-test.bin").c_str(), 1);  // keeps the user's registry as it is
  setenv("ORNIK_VIRTCAMS", "Front door|smpte|BGR 320x240@30;Back door|ball|YUY2 640x480@30", 1);
  unsetenv("ORNIK_VIRTCAMS_SHOW_REAL");

  CCaptureEngine engine;
  EXPECT_EQ(engine.GetVideoDeviceCount(), 2);
  EXPECT_EQ(engine.GetVideoDeviceName(0), "Front door");
  EXPECT_EQ(engine.GetVideoDeviceName(1), "Back door");
  // Real cameras are hidden from every monitor that uses the virtual ones.
  GstDeviceProvider* provider = gst_device_provider_factory_get_by_name("ornikvirtcamprovider");
  ASSERT_NE(provider, nullptr);
  gchar** hidden = gst_device_provider_get_hidden_providers(provider);
  ASSERT_NE(hidden, nullptr);
  EXPECT_TRUE(g_strv_contains(const_cast<const gchar* const*>(hidden), "v4l2deviceprovider"));
  g_strfreev(hidden);
  gst_object_unref(provider);

  TestWindow window;
  engine.SetVideoDeviceIndex(1);
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window), com::S_OK);
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 640);
}

TEST(VirtualCameraPlugin, ZeroCamerasMeansNoCameraAtAll) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "GStreamer's plugin scanner cannot load a plugin built with AddressSanitizer";
#endif
  if (RanInOwnProcess()) return;
  ASSERT_FALSE(gst_is_initialized()) << "must run in a process of its own";
  const std::string plugins = ORNIK_PLUGIN_DIR;
  setenv("GST_PLUGIN_PATH", plugins.c_str(), 1);
  setenv("GST_REGISTRY", (plugins + "/registry-test.bin").c_str(), 1);
  setenv("ORNIK_VIRTCAMS", "0", 1);
  CCaptureEngine engine;
  EXPECT_EQ(engine.GetVideoDeviceCount(), 0);
  GstDeviceProvider* provider = gst_device_provider_factory_get_by_name("ornikvirtcamprovider");
  ASSERT_NE(provider, nullptr);
  gchar** hidden = gst_device_provider_get_hidden_providers(provider);
  EXPECT_TRUE(hidden && g_strv_contains(const_cast<const gchar* const*>(hidden), "v4l2deviceprovider"))
      << "a real webcam would be counted";
  g_strfreev(hidden);
  gst_object_unref(provider);
}
