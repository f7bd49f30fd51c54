#pragma once
// What the engine mends in GStreamer's own decoding of a file, for playback and stills as for cuts,
// wherever such decoding appears inside a bin (the editing services build theirs while a render
// starts):
// - a pixel aspect ratio that a demuxer reads as invalid (ffmpeg's top-down RGB in AVI gives -1/1)
//   is taken as square: the converters and scalers after it refuse such frames;
// - JPEG frames of odd width with full chroma (4:4:4) are decoded by libav's decoder, whose chroma
//   is right where jpegdec's is not; other JPEG frames keep jpegdec.
#include <gst/gst.h>

namespace capture {

// Mends every demuxer and decoding bin added to `bin` or to any bin inside it from now on.
void MendDecodingInside(GstBin* bin);

}  // namespace capture
