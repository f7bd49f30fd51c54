#pragma once
// Timeline editing: a cut of one file described as a one-clip timeline (GStreamer Editing
// Services' own project format), and the rendering of such a description into an AVI file (raw
// 24-bit RGB, or the source's own coding) or, for names ending in "wav", a WAV file of its sound.
// Both run on the host's thread; the render keeps the host's events moving while it works.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/host_wait.h"
#include "engine/hresult.h"

namespace capture {

// Media times in 100-ns units: the input's part from `start` to `stop` placed at 0.
HRESULT WriteCutTimeline(const std::string& inFile, const std::string& timelineFile, std::int64_t start,
                         std::int64_t stop);

// Renders what WriteCutTimeline wrote; `progress` receives percentages every 100 ms and once at
// the end. Returns when the render has ended, however long it takes (its end of stream or a stream
// error ends it, no clock): S_OK only for a complete file.
HRESULT RenderCutTimeline(const std::string& outFile, const std::string& timelineFile, bool compressed,
                          HostWait& wait, const std::function<void(short)>& progress);

// Makes encoding profiles release their object data when they are finalized (a library fault
// otherwise loses it with every profile); the render calls it, once per process is enough.
void CompleteEncodingProfileFinalize();

// Percent of `position` in `total`, 0 for an empty total.
short ProgressPercent(std::int64_t position, std::int64_t total);

}  // namespace capture
