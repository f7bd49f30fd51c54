#include "numbered_media.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/pbutils/pbutils.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace testmedia {

namespace {

constexpr int kBlock = 16;
// Enough for a 10-minute file at 25 frames a second; a frame is at least 256 pixels wide.
constexpr int kBits = 16;

// A soft gradient behind the number, made once per file; with `stripes` every other column has
// its blue and red swapped, and every other row its green and blue.
std::vector<std::uint8_t> Background(int w, int h, int stride, bool stripes) {
  std::vector<std::uint8_t> bgr(std::size_t(stride) * std::size_t(h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &bgr[std::size_t(y) * stride + std::size_t(x) * 3];
      p[0] = std::uint8_t(40 + x * 100 / w);
      p[1] = std::uint8_t(60 + y * 100 / h);
      p[2] = 90;
      if (stripes && x % 2) std::swap(p[0], p[2]);
      if (stripes && y % 2) std::swap(p[0], p[1]);
    }
  return bgr;
}

void Paint(std::uint8_t* bgr, int stride, int number) {
  for (int bit = 0; bit < kBits; ++bit)
    for (int row = 0; row < 2; ++row) {
      const bool on = ((number >> bit) & 1) != (row == 1);
      for (int y = row * kBlock; y < (row + 1) * kBlock; ++y)
        std::memset(bgr + y * stride + bit * kBlock * 3, on ? 255 : 0, kBlock * 3);
    }
}

std::string Encoder(const Spec& spec) {
  if (spec.codec == "raw") return "videoconvert ! video/x-raw,format=I420";
  if (spec.codec == "jpeg444") return "videoconvert ! video/x-raw,format=Y444 ! jpegenc quality=90";
  if (spec.codec == "h264")
    return "videoconvert ! video/x-raw,format=I420 ! openh264enc gop-size=" + std::to_string(spec.gop) +
           " ! h264parse";
  if (spec.codec == "wmv2") return "videoconvert ! video/x-raw,format=I420 ! avenc_wmv2 bitrate=4000000";
  return "videoconvert ! video/x-raw,format=I420 ! jpegenc quality=90";
}

}  // namespace

bool WriteNumbered(const std::string& path, const Spec& spec) {
  if (spec.width < kBits * kBlock || spec.height < 2 * kBlock) {
    ADD_FAILURE() << "a frame too small for its number";
    return false;
  }
  if (spec.frames > (1 << kBits)) {
    ADD_FAILURE() << "more frames than their numbers can tell apart";
    return false;
  }
  const int fps = spec.fps > 0 ? spec.fps : 25;
  const std::string mux = spec.container == "mkv" ? "matroskamux" : spec.container == "asf" ? "asfmux" : "avimux";
  std::string launch = "appsrc name=src format=time ! " + Encoder(spec) + " ! queue ! " + mux +
                       " name=mux ! filesink location=\"" + path + "\"";
  if (spec.audio)
    launch += " audiotestsrc num-buffers=" + std::to_string(spec.frames) + " samplesperbuffer=" +
              std::to_string(44100 / fps) + " ! audio/x-raw,format=S16LE,rate=44100,channels=1 ! queue ! mux.";
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(launch.c_str(), &error);
  if (!pipeline) {
    ADD_FAILURE() << (error ? error->message : "no pipeline");
    if (error) g_error_free(error);
    return false;
  }
  GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
  GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT, spec.width,
                                      "height", G_TYPE_INT, spec.height, "framerate", GST_TYPE_FRACTION, spec.fps,
                                      1, nullptr);
  gst_app_src_set_caps(GST_APP_SRC(src), caps);
  gst_caps_unref(caps);
  // The writer waits for the encoder: a long file's frames do not all sit in memory at once.
  const guint64 frameBytes = guint64((spec.width * 3 + 3) & ~3) * guint64(spec.height);
  g_object_set(src, "block", TRUE, "max-bytes", 8 * frameBytes, nullptr);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  const int stride = (spec.width * 3 + 3) & ~3;
  const GstClockTime frame = GST_SECOND / fps;
  const std::vector<std::uint8_t> background = Background(spec.width, spec.height, stride, spec.stripes);
  for (int i = 0; i < spec.frames; ++i) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, gsize(stride) * gsize(spec.height), nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    std::memcpy(map.data, background.data(), background.size());
    Paint(map.data, stride, i);
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = GstClockTime(i) * frame;
    GST_BUFFER_DURATION(buffer) = frame;
    gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
  }
  gst_app_src_end_of_stream(GST_APP_SRC(src));
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* end = gst_bus_timed_pop_filtered(bus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool ok = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
  if (end) gst_message_unref(end);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(src);
  gst_object_unref(pipeline);
  if (!ok) ADD_FAILURE() << "could not write " + path;
  return ok;
}

int ReadNumber(const QImage& image) {
  if (image.width() < kBits * kBlock || image.height() < 2 * kBlock) return -1;
  int n = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    const int x = bit * kBlock + kBlock / 2;
    const int a = qGray(image.pixel(x, kBlock / 2)), b = qGray(image.pixel(x, kBlock + kBlock / 2));
    const bool on = a > 128, inverted = b > 128;
    if (on == inverted || (a > 80 && a < 176) || (b > 80 && b < 176)) return -1;
    if (on) n |= 1 << bit;
  }
  return n;
}

bool Probe(const std::string& path, gint64* durationNs, std::string* videoCaps) {
  GstDiscoverer* discoverer = gst_discoverer_new(10 * GST_SECOND, nullptr);
  gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
  GstDiscovererInfo* info = discoverer ? gst_discoverer_discover_uri(discoverer, uri, nullptr) : nullptr;
  g_free(uri);
  bool ok = info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK;
  if (ok) {
    *durationNs = gint64(gst_discoverer_info_get_duration(info));
    videoCaps->clear();
    GList* videos = gst_discoverer_info_get_video_streams(info);
    if (videos) {
      GstCaps* caps = gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(videos->data));
      gchar* text = gst_caps_to_string(caps);
      *videoCaps = text;
      g_free(text);
      gst_caps_unref(caps);
    }
    gst_discoverer_stream_info_list_free(videos);
  }
  if (info) gst_discoverer_info_unref(info);
  if (discoverer) g_object_unref(discoverer);
  return ok;
}

std::vector<QImage> DecodeFrames(const std::string& path) {
  std::vector<QImage> frames;
  gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
  const std::string launch = std::string("uridecodebin uri=\"") + (uri ? uri : "") +
                             "\" ! videoconvert ! video/x-raw,format=RGB ! appsink name=out sync=false";
  g_free(uri);
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(launch.c_str(), &error);
  if (!pipeline) {
    if (error) g_error_free(error);
    return frames;
  }
  GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(out), 20 * GST_SECOND)) {
    const GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    int w = 0, h = 0;
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &h);
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (w > 0 && h > 0 && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      frames.push_back(QImage(map.data, w, h, (w * 3 + 3) & ~3, QImage::Format_RGB888).copy());
      gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
  }
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* failed = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
  if (failed) {
    frames.clear();
    gst_message_unref(failed);
  }
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(out);
  gst_object_unref(pipeline);
  return frames;
}

std::vector<QImage> DecodeFramesByFfmpeg(const std::string& path, int width, int height) {
  std::vector<QImage> frames;
  const std::string command = "ffmpeg -v error -i '" + path + "' -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return frames;
  QImage frame(width, height, QImage::Format_RGB888);
  for (;;) {
    bool whole = true;
    for (int y = 0; y < height && whole; ++y)
      whole = std::fread(frame.scanLine(y), 3, std::size_t(width), pipe) == std::size_t(width);
    if (!whole) break;
    frames.push_back(frame.copy());
  }
  if (pclose(pipe) != 0) frames.clear();
  return frames;
}

double MeanDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.isNull()) return 255;
  const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
  double sum = 0;
  for (int row = 0; row < x.height(); ++row) {
    const uchar* p = x.constScanLine(row);
    const uchar* q = y.constScanLine(row);
    for (int i = 0; i < x.width() * 3; ++i) sum += std::abs(int(p[i]) - int(q[i]));
  }
  return sum / (double(x.width()) * x.height() * 3);
}

}  // namespace testmedia
