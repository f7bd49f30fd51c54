#pragma once
// What the engine mends in GStreamer's own decoding of a file, for playback and stills as for cuts,
// wherever such decoding appears inside a bin (the editing services build theirs while a render
// starts):
// - a pixel aspect ratio that a demuxer reads as invalid (ffmpeg's top-down RGB in AVI gives -1/1)
//   is taken as square: the converters and scalers after it refuse such frames;
// - JPEG frames are decoded by libav's decoder: it keeps every chroma layout (jpegdec gives 4:2:0
//   whatever the frame holds) and reads the range a frame is marked with (libav's encoder writes
//   video range, which jpegdec would take as full), as ffmpeg does, and their video range is
//   widened to full range before a converter reads it (GStreamer's 8-bit conversion of video range
//   to RGB makes white 253 and every level up to 3 darker than ffmpeg's);
// - GStreamer's flip, which the editing services put behind the decoding of every clip, is given
//   no packed 4:2:2 picture of an odd width: it loses the last column's colour of such a picture
//   (even when it turns nothing), so a converter gives it a planar picture instead.
#include <gst/gst.h>

namespace capture {

// Mends every demuxer and decoding bin added to `bin` or to any bin inside it from now on.
void MendDecodingInside(GstBin* bin);

}  // namespace capture
