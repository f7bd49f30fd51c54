#pragma once
// Synchronous playback of a sound file: Play returns when the sound has played to its end.
// Over a GStreamer playbin; the audio output is the system's default (autoaudiosink), or
// "fakesink" when no sound device opens, unless the environment variable VELMOR_SOUND_SINK or
// SetOutput names another sink ("fakesink" plays at full speed into nothing, for tests and
// benchmarks).
#include <QString>

#include <functional>

namespace sound {

// Plays the file and waits for the end of the stream. Returns false, without waiting, when the
// file is missing or cannot be played (not a sound, no decoder, no audio output).
bool Play(const QString& path);

// The sink description used for the output ("autoaudiosink", "fakesink", "alsasink device=hw:1"
// ...); the empty text restores the default (VELMOR_SOUND_SINK, else autoaudiosink, or fakesink
// on a machine whose sound device does not open).
void SetOutput(const QString& sinkDescription);
QString Output();

// Called after every Play with the file and the result; an empty function removes it. Lets a
// test see which sounds a procedure played.
using PlayObserver = std::function<void(const QString& path, bool played)>;
void SetPlayObserver(PlayObserver observer);

}  // namespace sound
