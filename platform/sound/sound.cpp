#include "sound/sound.h"

#include <QFileInfo>
#include <QUrl>

#include <gst/gst.h>

namespace sound {
namespace {

QString& OutputOverride() {
  static QString output;
  return output;
}

PlayObserver& Observer() {
  static PlayObserver observer;
  return observer;
}

bool EnsureInit() {
  static const bool ok = gst_init_check(nullptr, nullptr, nullptr);
  return ok;
}

// The output when none is named: the system's own (autoaudiosink) when its sound server or an
// ALSA device opens, else fakesink, so that a machine without sound plays in silence. Tried once,
// through the sinks that report a failure on their bus and not on the standard error (the other
// sinks autoaudiosink would try, OpenAL's, print their failures).
QString DefaultOutput() {
  static const QString output = [] {
    if (EnsureInit()) {
      for (const char* name : {"pulsesink", "alsasink"}) {
        GstElement* sink = gst_element_factory_make(name, nullptr);
        if (!sink) continue;
        gst_object_ref_sink(sink);
        const bool opens = gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
        if (opens) return QStringLiteral("autoaudiosink");
      }
    }
    return QStringLiteral("fakesink");
  }();
  return output;
}

// Plays through a playbin built for this one file; every object is released before returning.
bool PlayFile(const QString& path) {
  const QFileInfo info(path);
  if (!info.isFile() || !info.isReadable()) return false;
  if (!EnsureInit()) return false;

  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  if (!playbin) return false;
  // No video: a file that holds pictures must not open a window (playbin still looks for a video
  // sink of the system's when it is given none, even with the audio flag alone).
  GstElement* videoSink = gst_element_factory_make("fakesink", nullptr);
  if (videoSink) g_object_set(playbin, "video-sink", videoSink, nullptr);
  // Audio alone, and without the soft-volume flag: then no volume element is put before a sink
  // that has no volume of its own (fakesink, alsasink). Playbin's audio chain keeps that element,
  // and a kilobyte with it, alive after the pipeline is gone, once for every sound played.
  constexpr guint kPlayFlagAudio = 1u << 1;
  g_object_set(playbin, "flags", kPlayFlagAudio, nullptr);

  const QString sinkText = Output();
  GError* error = nullptr;
  GstElement* audioSink = gst_parse_bin_from_description(sinkText.toUtf8().constData(), TRUE, &error);
  if (error) g_clear_error(&error);
  if (!audioSink) audioSink = gst_parse_launch(sinkText.toUtf8().constData(), nullptr);
  if (!audioSink) {
    gst_object_unref(playbin);
    return false;
  }
  g_object_set(playbin, "audio-sink", audioSink, nullptr);

  const QByteArray uri = QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded();
  g_object_set(playbin, "uri", uri.constData(), nullptr);

  bool played = false;
  if (gst_element_set_state(playbin, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
    GstBus* bus = gst_element_get_bus(playbin);
    for (;;) {
      GstMessage* msg = gst_bus_timed_pop_filtered(
          bus, 60 * GST_SECOND,
          static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
      if (!msg) break;  // a sound longer than a minute is not waited for
      const bool eos = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
      gst_message_unref(msg);
      played = eos;
      break;
    }
    gst_object_unref(bus);
  }
  gst_element_set_state(playbin, GST_STATE_NULL);
  gst_object_unref(playbin);
  return played;
}

}  // namespace

bool Play(const QString& path) {
  const bool played = PlayFile(path);
  if (Observer()) Observer()(path, played);
  return played;
}

void SetOutput(const QString& sinkDescription) { OutputOverride() = sinkDescription; }

QString Output() {
  if (!OutputOverride().isEmpty()) return OutputOverride();
  const QString env = qEnvironmentVariable("VELMOR_SOUND_SINK");
  return env.isEmpty() ? DefaultOutput() : env;
}

void SetPlayObserver(PlayObserver observer) { Observer() = std::move(observer); }

}  // namespace sound
