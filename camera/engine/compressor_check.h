#pragma once
// The encoder chain a recording and the compressor check build alike, and the check itself. The
// check runs only in the control's own program ornik-compressor-check, never inside a host: no
// encoder's code is loaded into a host before the host records with it.
#include <gst/gst.h>

#include <chrono>
#include <string>
#include <vector>

namespace capture {

// Adds the elements to the bin and links them in a row; false when one is missing or refuses.
bool AddChain(GstBin* bin, const std::vector<GstElement*>& chain);

// Whether one of the encoder's inputs takes I420, by its pad templates (its code is not loaded).
bool AcceptsI420(GstElementFactory* encoder);

// The format an encoder that takes I420 is given: without it some pick 4:4:4 or 10 bits that
// players refuse. Null for the others.
GstElement* I420FormatFor(GstElementFactory* encoder);

// Whether the encoder's caps take video of the size and rate of `format` (null: any), in I420 where
// its recording chain gives it I420. Read from its pad templates: its code is not loaded.
bool TakesFormat(GstElementFactory* encoder, const GstCaps* format);

// The raw format a recording at `format` feeds its chain, as the check is given it and its answers
// are kept under: "video/x-raw,format=YUY2,width=321,height=241,framerate=30/1". Fields `format`
// lacks are the preview's (I420, 320 x 240, 30/1).
std::string CheckFormatText(const GstCaps* format);

// What one encoder's check found: it records at the format into an AVI that playback decodes
// again, at that size, into the pictures stills are taken from; or it cannot (it refuses the
// format, needs hardware that is not there, writes what no decoder here reads, or records
// another size); or the check ended without an answer (out of time, out of memory).
enum class CheckResult { Records, Cannot, None };

// Checks one encoder in this process: it records a few frames of `format` (CheckFormatText's)
// through the recording's own chain into a file in memory, which is then played back as files
// are. A stage that does not end within `stageLimit` gives no answer. With `endless` (a test's)
// the encoder is fed frames without end. An encoder that ends the process gives no result at
// all: the caller runs each check in a process of its own.
CheckResult CheckCompressor(GstElementFactory* encoder, const std::string& format,
                            std::chrono::milliseconds stageLimit, bool endless = false);

}  // namespace capture
