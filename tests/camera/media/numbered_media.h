#pragma once
// Test media: files whose every frame carries its own number, painted as a row of black and
// white blocks (bit i at block i, with an inverted row below for a check), so that a frame shown,
// grabbed or written as a picture can be told exactly.
#include <gst/gst.h>

#include <QImage>

#include <string>
#include <vector>

namespace testmedia {

struct Spec {
  int frames = 50;
  int width = 320;
  int height = 240;
  int fps = 25;               // 0: no fixed rate (the file plays in 100-ns units)
  std::string codec = "jpeg";  // "jpeg" (4:2:0), "jpeg444" (4:4:4), "raw", "h264", "wmv2"
  int gop = 25;               // key frame distance of h264
  bool audio = false;          // a 440 Hz tone as long as the video
  std::string container = "avi";  // "avi", "mkv" or "asf" (its packets as the multiplexer leaves them)
  bool stripes = false;            // colour detail across and down: blue and red swapped in every
                                   // other column, green and blue in every other row
};

// Writes the file (at most 65536 frames); false (with a test failure) when GStreamer could not.
bool WriteNumbered(const std::string& path, const Spec& spec);
// The number painted into a frame; -1 when none can be read.
int ReadNumber(const QImage& image);
// The length of a media file in nanoseconds and its first video caps (empty when it has none).
bool Probe(const std::string& path, gint64* durationNs, std::string* videoCaps);
// Every video frame of a file decoded to 24-bit RGB, in order; empty when it cannot be decoded.
std::vector<QImage> DecodeFrames(const std::string& path);
// The same decoded by ffmpeg (the decoders of libav).
std::vector<QImage> DecodeFramesByFfmpeg(const std::string& path, int width, int height);
// The mean absolute difference of two pictures of the same size over all colour samples (0 to
// 255); 255 when their sizes differ.
double MeanDifference(const QImage& a, const QImage& b);

}  // namespace testmedia
