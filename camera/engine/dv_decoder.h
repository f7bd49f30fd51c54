#pragma once
// The DV decoder of a live graph, one bin named "DV Decoder":
//
//   [queue -> dvdemux ->] dvdec -> videoscale -> capsfilter    (a system stream)
//
// The queue keeps the demultiplexer from pulling a file-backed source on its own thread: that
// thread starts as soon as dvdemux is paused, and its first frame would find the bin's output
// not yet active (the bin activates its pads after its children) and stop the stream for good.
//
// Its display resolution (1000 full, 1001 half, 1002 quarter, 1003 DC) sets dvdec's quality and
// the size the picture is scaled to. A system stream's sound comes out unconnected as the bin's
// "audio" pad once the stream shows it has sound.
#include <gst/gst.h>

#include "engine/gst_ptr.h"
#include "engine/hresult.h"

namespace capture {

inline constexpr int kDvResolutionFull = 1000;
inline constexpr int kDvResolutionDC = 1003;

// A new decoder bin (floating); null when a DV element is missing.
GstElement* CreateDvDecoder(bool systemStream, int resolution);
// The first DV decoder in `graph` (a reference), null when there is none.
ElementPtr FindDvDecoder(GstElement* graph);
int DvDecoderResolution(GstElement* decoder);
// E_INVALIDARG outside 1000-1003; applies to the running stream at once.
HRESULT SetDvDecoderResolution(GstElement* decoder, int resolution);

}  // namespace capture
