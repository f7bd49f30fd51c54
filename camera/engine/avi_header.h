#pragma once
// Fix-ups of an AVI file's headers after its multiplexer has closed it.
#include <string>

namespace capture {

// An uncompressed video stream's bitmap header (RGB or raw YUV) gives the size of one frame as the
// file holds it; the multiplexer writes width x height. False when the file cannot be read or
// written; a file without such a stream is left as it is.
bool FixRawImageSize(const std::string& file);

// Closes an AVI file whose multiplexer stopped before its end (a full disk): the complete chunks
// stay, an index of them is written after them and the sizes and lengths of the headers are set.
// Where the disk has no room for the index, chunks are given up from the end until it fits.
// False when the file is no AVI or nothing could be written.
bool CloseCutAvi(const std::string& file);

}  // namespace capture
