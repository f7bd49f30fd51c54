#pragma once
// The encoder chain a recording and the compressor check build alike, and the check itself. The
// check runs only in the control's own program ornik-compressor-check, never inside a host: no
// encoder's code is loaded into a host before the host records with it.
#include <gst/gst.h>

#include <chrono>
#include <functional>
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

// The answer of one encoder's check: it records into an AVI that playback decodes again into the
// pictures stills are taken from, or it cannot. A check that ends otherwise (out of time, the
// disk full) has no answer.
using CheckAnswer = std::function<void(std::size_t index, bool can)>;

// Checks the encoders, a few at once: each records a few frames through the recording's own chain
// into a file of its own, which is then played back as files are. One that refuses, needs hardware
// that is not there, or writes what no decoder here reads cannot. `answer` is called for each
// encoder as soon as it is known; a stage that does not end within `stageLimit` gives none. An
// encoder named `endless` (a test's) is fed frames without end.
void CheckCompressors(const std::vector<GstElementFactory*>& encoders, std::chrono::milliseconds stageLimit,
                      const CheckAnswer& answer, const std::string& endless = {});

}  // namespace capture
