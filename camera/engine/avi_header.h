#pragma once
// Fix-ups of an AVI file's headers after its multiplexer has closed it.
#include <string>

namespace capture {

// An uncompressed video stream's bitmap header (RGB or raw YUV) gives the size of one frame as the
// file holds it; the multiplexer writes width x height. False when the file cannot be read or
// written; a file without such a stream is left as it is.
bool FixRawImageSize(const std::string& file);

}  // namespace capture
