// The two lists a host picks from by position: cameras and compressors.
#include <gst/gst.h>

#include <sys/stat.h>
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
  for (std::string key, name, answer; file >> key >> name >> answer;)
    if (name == encoder) return answer;
  return {};
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

// The compressor check runs in a program of the control's own. One that ends without an answer
// (an encoder's recording never ends, the program dies) keeps the encoder listed and keeps no
// answer; it is asked again later, not by every list; the answer once given is kept.
TEST_F(Devices, ACheckWithoutAnAnswerKeepsTheEncoderListedAndIsAskedAgain) {
  const std::string registry = CurrentRegistry();
  if (!registry.empty()) setenv("GST_REGISTRY", registry.c_str(), 0);
  const std::string cache = TempFile("cache");
  setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  CCaptureEngine engine;
  // The next list, right after a check that ran out of time, does not ask (and wait) again.
  setenv("ORNIK_COMPRESSOR_CHECK_FAULT", "jpegenc:endless", 1);
  EXPECT_GE(capture::CompressorList().IndexOf("jpegenc"), 0);
  unsetenv("ORNIK_COMPRESSOR_CHECK_FAULT");
  EXPECT_GE(capture::CompressorList().IndexOf("jpegenc"), 0);
  EXPECT_EQ(KeptAnswer("jpegenc"), "");
  // Later it is asked again.
  setenv("ORNIK_COMPRESSOR_CHECK_RETRY_MS", "0", 1);
  setenv("ORNIK_COMPRESSOR_CHECK_FAULT", "jpegenc:abort", 1);
  EXPECT_GE(capture::CompressorList().IndexOf("jpegenc"), 0);
  EXPECT_EQ(KeptAnswer("jpegenc"), "");
  unsetenv("ORNIK_COMPRESSOR_CHECK_FAULT");
  EXPECT_GE(capture::CompressorList().IndexOf("jpegenc"), 0);
  EXPECT_EQ(KeptAnswer("jpegenc"), "yes");
  unsetenv("ORNIK_COMPRESSOR_CHECK_RETRY_MS");
  struct stat st {};
  const bool kept = ::stat(capture::CompressorCheckFile().c_str(), &st) == 0;
  unsetenv("XDG_CACHE_HOME");
  ASSERT_TRUE(kept);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // only its user reads it
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
