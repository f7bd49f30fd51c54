#include "engine/compressor_check.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <memory>

#include "engine/gst_ptr.h"

namespace capture {

namespace {

// The frames a check records (more than one: some decoders give nothing of a single frame), and
// the format fields a list without a live graph is made for (the preview's).
constexpr int kCheckFrames = 3;
constexpr const char* kPreviewRaw = "I420";
constexpr int kWidth = 320, kHeight = 240, kRate = 30;

GstCaps* SinkCaps(GstElementFactory* encoder) {
  GstCaps* all = gst_caps_new_empty();
  for (const GList* l = gst_element_factory_get_static_pad_templates(encoder); l; l = l->next) {
    auto* t = static_cast<GstStaticPadTemplate*>(l->data);
    if (t->direction == GST_PAD_SINK) all = gst_caps_merge(all, gst_static_pad_template_get_caps(t));
  }
  return all;
}

void CountBuffers(GstElement* element, const char* padName, std::atomic<int>* count) {
  PadPtr pad = Adopt(gst_element_get_static_pad(element, padName));
  if (!pad) return;
  gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, [](GstPad*, GstPadProbeInfo*, gpointer n) {
    ++*static_cast<std::atomic<int>*>(n);
    return GST_PAD_PROBE_OK;
  }, count, nullptr);
}

GstElement* CapsFilter(const char* text) {
  GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
  GstCaps* caps = gst_caps_from_string(text);
  if (filter && caps) g_object_set(filter, "caps", caps, nullptr);
  if (caps) gst_caps_unref(caps);
  return filter;
}

// An error of the file's own (it could not be written or read: memory ran out) says nothing of
// the encoder.
bool FileError(GstMessage* m) {
  GError* error = nullptr;
  gst_message_parse_error(m, &error, nullptr);
  const bool file = error && error->domain == GST_RESOURCE_ERROR;
  if (error) g_error_free(error);
  return file;
}

// Runs the pipeline to its end: Records when it ended with frames, Cannot on an error of the
// encoder's chain or no frame, None when it ran out of time or its file failed.
CheckResult RunToEnd(GstElement* pipeline, const std::atomic<int>& frames, std::chrono::milliseconds limit) {
  if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return CheckResult::Cannot;
  BusPtr bus = Adopt(gst_element_get_bus(pipeline));
  GstMessage* m = gst_bus_timed_pop_filtered(bus.get(), GstClockTime(limit.count()) * GST_MSECOND,
                                             GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  CheckResult result = CheckResult::None;
  if (m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS) result = frames > 0 ? CheckResult::Records : CheckResult::Cannot;
  else if (m) result = FileError(m) ? CheckResult::None : CheckResult::Cannot;
  if (m) gst_message_unref(m);
  return result;
}

// source -> live format -> converter -> [I420] -> encoder -> avimux -> the file.
CheckResult Record(GstElementFactory* factory, const std::string& format, int fd, std::chrono::milliseconds limit,
                   bool endless) {
  ElementPtr pipeline = Sink(gst_pipeline_new("Compressor Check"));
  GstElement* source = gst_element_factory_make("videotestsrc", nullptr);
  GstElement* encoder = gst_element_factory_create(factory, nullptr);
  GstElement* sink = gst_element_factory_make("fdsink", nullptr);
  if (source && !endless) g_object_set(source, "num-buffers", kCheckFrames, nullptr);
  if (source && endless) g_object_set(source, "is-live", TRUE, nullptr);
  if (sink) g_object_set(sink, "fd", fd, nullptr);
  std::vector<GstElement*> chain{source, CapsFilter(format.c_str()), gst_element_factory_make("videoconvert", nullptr)};
  if (GstElement* i420 = encoder ? I420FormatFor(factory) : nullptr) chain.push_back(i420);
  chain.insert(chain.end(), {encoder, gst_element_factory_make("avimux", nullptr), sink});
  if (!AddChain(GST_BIN(pipeline.get()), chain)) return CheckResult::Cannot;
  std::atomic<int> frames{0};
  CountBuffers(encoder, "src", &frames);
  const CheckResult result = RunToEnd(pipeline.get(), frames, limit);
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  return result;
}

// The file's first video stream -> converter -> 24-bit RGB (what stills take) -> fakesink.
void OnPlayedPad(GstElement*, GstPad* pad, gpointer converter) {
  PadPtr in = Adopt(gst_element_get_static_pad(static_cast<GstElement*>(converter), "sink"));
  if (!gst_pad_is_linked(in.get())) gst_pad_link(pad, in.get());  // sound and the like refuse
}

// The recorded file played as playback plays it (uridecodebin with the decoders there are); it
// records only when its pictures come out at the size recorded.
CheckResult Play(const std::string& uri, const std::string& format, std::chrono::milliseconds limit) {
  ElementPtr pipeline = Sink(gst_pipeline_new("Compressor Playback Check"));
  GstElement* source = gst_element_factory_make("uridecodebin", nullptr);
  GstElement* converter = gst_element_factory_make("videoconvert", nullptr);
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  if (!source || !AddChain(GST_BIN(pipeline.get()), {converter, CapsFilter("video/x-raw,format=BGR"), sink})) {
    if (source) gst_object_unref(gst_object_ref_sink(source));
    return CheckResult::Cannot;
  }
  g_object_set(source, "uri", uri.c_str(), nullptr);
  gst_bin_add(GST_BIN(pipeline.get()), source);
  g_signal_connect(source, "pad-added", G_CALLBACK(OnPlayedPad), converter);
  std::atomic<int> frames{0};
  CountBuffers(sink, "sink", &frames);
  CheckResult result = RunToEnd(pipeline.get(), frames, limit);
  if (result == CheckResult::Records) {
    PadPtr pad = Adopt(gst_element_get_static_pad(sink, "sink"));
    CapsPtr played(gst_pad_get_current_caps(pad.get()));
    CapsPtr recorded(gst_caps_from_string(format.c_str()));
    int w = 0, h = 0, rw = -1, rh = -1;
    if (played && recorded) {
      gst_structure_get_int(gst_caps_get_structure(played.get(), 0), "width", &w);
      gst_structure_get_int(gst_caps_get_structure(played.get(), 0), "height", &h);
      gst_structure_get_int(gst_caps_get_structure(recorded.get(), 0), "width", &rw);
      gst_structure_get_int(gst_caps_get_structure(recorded.get(), 0), "height", &rh);
    }
    if (w != rw || h != rh) result = CheckResult::Cannot;  // it recorded another size
  }
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  return result;
}

}  // namespace

bool AddChain(GstBin* bin, const std::vector<GstElement*>& chain) {
  for (GstElement* e : chain)
    if (!e) {
      for (GstElement* f : chain)
        if (f && !GST_OBJECT_PARENT(f)) gst_object_unref(gst_object_ref_sink(f));
      return false;
    }
  GstElement* previous = nullptr;
  for (GstElement* e : chain) {
    if (!GST_OBJECT_PARENT(e)) gst_bin_add(bin, e);
    if (previous && !gst_element_link(previous, e)) return false;
    previous = e;
  }
  return true;
}

bool AcceptsI420(GstElementFactory* encoder) {
  CapsPtr i420(gst_caps_from_string("video/x-raw,format=I420"));
  CapsPtr sink(SinkCaps(encoder));
  return gst_caps_can_intersect(sink.get(), i420.get());
}

GstElement* I420FormatFor(GstElementFactory* encoder) {
  if (!AcceptsI420(encoder)) return nullptr;
  GstElement* format = gst_element_factory_make("capsfilter", "Compressor Format");
  GstCaps* i420 = gst_caps_from_string("video/x-raw,format=I420");
  if (format) g_object_set(format, "caps", i420, nullptr);
  gst_caps_unref(i420);
  return format;
}

bool TakesFormat(GstElementFactory* encoder, const GstCaps* format) {
  const GstStructure* s = format && !gst_caps_is_empty(format) ? gst_caps_get_structure(format, 0) : nullptr;
  if (!s) return true;
  GstStructure* wanted = gst_structure_new_empty("video/x-raw");
  for (const char* field : {"width", "height", "framerate"})
    if (const GValue* value = gst_structure_get_value(s, field)) gst_structure_set_value(wanted, field, value);
  if (AcceptsI420(encoder)) gst_structure_set(wanted, "format", G_TYPE_STRING, "I420", nullptr);
  CapsPtr caps(gst_caps_new_full(wanted, nullptr));
  CapsPtr sink(SinkCaps(encoder));
  return gst_caps_can_intersect(sink.get(), caps.get());
}

std::string CheckFormatText(const GstCaps* format) {
  const GstStructure* s = format && !gst_caps_is_empty(format) ? gst_caps_get_structure(format, 0) : nullptr;
  const gchar* raw = s ? gst_structure_get_string(s, "format") : nullptr;
  int w = kWidth, h = kHeight, n = kRate, d = 1;
  if (s) {
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &h);
    gst_structure_get_fraction(s, "framerate", &n, &d);
  }
  // Only a plain word goes into the text (it is a key and one word of a line).
  std::string word = raw ? raw : kPreviewRaw;
  if (word.empty() || word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") !=
                          std::string::npos)
    word = kPreviewRaw;
  gchar* text = g_strdup_printf("video/x-raw,format=%s,width=%d,height=%d,framerate=%d/%d", word.c_str(), w, h, n, d);
  std::string out = text;
  g_free(text);
  return out;
}

CheckResult CheckCompressor(GstElementFactory* encoder, const std::string& format, std::chrono::milliseconds stageLimit,
                            bool endless) {
  // The file lives in memory: nothing is left on a disk, whatever way the check ends.
  const int fd = ::memfd_create("compressor-check.avi", MFD_CLOEXEC);
  if (fd < 0) return CheckResult::None;
  CheckResult result = Record(encoder, format, fd, stageLimit, endless);
  if (result == CheckResult::Records) result = Play("file:///proc/self/fd/" + std::to_string(fd), format, stageLimit);
  ::close(fd);
  return result;
}

}  // namespace capture
