#include "engine_fixture.h"

#include <gst/app/gstappsink.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include <QPainter>

#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "engine/devices.h"

namespace cameratest {

virtcam::Camera Cam(const std::string& name, const std::string& pattern, std::vector<std::string> modes) {
  virtcam::Camera c;
  c.name = name;
  c.pattern = pattern;
  c.modes = std::move(modes);
  return c;
}

void CameraTest::SetUp() {
  ASSERT_TRUE(capture::EnsureGstInit());
  ASSERT_TRUE(virtcam::Register());
  virtcam::HideRealProviders();  // a developer's webcam must not change what the tests see
  UseCameras({Cam("Virtual Camera A", "smpte75"), Cam("Virtual Camera B", "ball")});
  ASSERT_TRUE(dir_.isValid());
}

void CameraTest::UseCameras(const std::vector<virtcam::Camera>& cameras) { virtcam::SetCameras(cameras); }

std::string CameraTest::TempFile(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }

QImage CameraTest::Paint(CCaptureEngine& engine, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  engine.RepaintVideo(painter);
  return image;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b.at(at)) | std::uint32_t(b.at(at + 1)) << 8 | std::uint32_t(b.at(at + 2)) << 16 |
         std::uint32_t(b.at(at + 3)) << 24;
}

std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint16_t(b.at(at) | b.at(at + 1) << 8);
}

std::vector<std::uint8_t> ReferenceBitmapRows(const std::string& pattern, const std::string& format, int w, int h) {
  const std::string launch = "videotestsrc num-buffers=1 pattern=" + pattern + " ! video/x-raw,format=" + format +
                             ",width=" + std::to_string(w) + ",height=" + std::to_string(h) +
                             " ! videoconvert ! video/x-raw,format=BGR ! appsink name=out sync=false";
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(launch.c_str(), &error);
  if (error) {
    ADD_FAILURE() << error->message;
    g_error_free(error);
    return {};
  }
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND);
  std::vector<std::uint8_t> rows;
  if (sample) {
    GstVideoInfo info;
    gst_video_info_from_caps(&info, gst_sample_get_caps(sample));
    GstVideoFrame frame;
    gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ);
    const std::size_t row = (std::size_t(w) * 3 + 3) & ~std::size_t(3);
    rows.assign(row * std::size_t(h), 0);
    const auto* src = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    for (int y = 0; y < h; ++y)
      std::memcpy(&rows[std::size_t(h - 1 - y) * row], src + std::size_t(y) * GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0),
                  std::size_t(w) * 3);
    gst_video_frame_unmap(&frame);
    gst_sample_unref(sample);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  return rows;
}

// Plays the file as fast as it decodes: its video frames, its duration and whether it has sound.
Decoded Decode(const std::string& path) {
  Decoded d;
  gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
  GstDiscoverer* discoverer = gst_discoverer_new(10 * GST_SECOND, nullptr);
  GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uri, nullptr);
  if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
    d.ok = true;
    d.seconds = double(gst_discoverer_info_get_duration(info)) / GST_SECOND;
    GList* audio = gst_discoverer_info_get_audio_streams(info);
    d.audio = audio != nullptr;
    gst_discoverer_stream_info_list_free(audio);
    GstDiscovererStreamInfo* top = gst_discoverer_info_get_stream_info(info);
    GstCaps* caps = top ? gst_discoverer_stream_info_get_caps(top) : nullptr;
    if (caps) {
      d.container = gst_structure_get_name(gst_caps_get_structure(caps, 0));
      gst_caps_unref(caps);
    }
    if (top) gst_discoverer_stream_info_unref(top);
  }
  if (info) gst_discoverer_info_unref(info);
  g_object_unref(discoverer);
  GstElement* play = gst_element_factory_make("playbin", nullptr);
  GstElement* video = gst_element_factory_make("appsink", nullptr);
  GstElement* audio = gst_element_factory_make("fakesink", nullptr);
  g_object_set(video, "sync", FALSE, nullptr);
  g_object_set(audio, "sync", FALSE, nullptr);
  g_object_set(play, "uri", uri, "video-sink", video, "audio-sink", audio, nullptr);
  gst_element_set_state(play, GST_STATE_PLAYING);
  while (GstSample* s = gst_app_sink_try_pull_sample(GST_APP_SINK(video), 5 * GST_SECOND)) {
    ++d.frames;
    gst_sample_unref(s);
  }
  gst_element_set_state(play, GST_STATE_NULL);
  gst_object_unref(play);
  g_free(uri);
  return d;
}

int AviIndexEntries(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadFile(path);
  const std::string text(bytes.begin(), bytes.end());
  const std::size_t movi = text.find("movi");
  const std::size_t idx1 = movi == std::string::npos ? movi : text.rfind("idx1");
  if (idx1 == std::string::npos || idx1 < movi || idx1 + 8 > bytes.size()) return -1;
  const std::uint32_t size = Le32(bytes, idx1 + 4);
  if (idx1 + 8 + size > bytes.size()) return -1;
  return int(size / 16);
}

std::vector<bool> AviKeyFrames(const std::string& path) {
  std::vector<bool> keys;
  const int entries = AviIndexEntries(path);
  const std::vector<std::uint8_t> bytes = ReadFile(path);
  const std::string text(bytes.begin(), bytes.end());
  const std::size_t idx1 = text.rfind("idx1");
  for (int i = 0; i < entries; ++i) {
    const std::size_t at = idx1 + 8 + std::size_t(i) * 16;
    if (bytes[at + 2] == 'd') keys.push_back((Le32(bytes, at + 4) & 0x10) != 0);  // "00dc", "00db"
  }
  return keys;
}

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace cameratest
