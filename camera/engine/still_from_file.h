#pragma once
// Stills from played files: the frame of a file written as a BMP or, through libjpencode.so
// (loaded by name for each picture), as a JPEG file. The engine's members are in
// capture_engine.h; this header holds what the still writers share.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/hresult.h"

namespace capture {

// The library and entry point of the JPEG encoder.
inline constexpr const char* kJpegLibrary = "libjpencode.so";
inline constexpr const char* kJpegEntry = "JP_Compress";
inline constexpr std::int32_t kJpegQuality = 50;

// Writes the whole block; removes a regular file it could not complete.
HRESULT WriteWholeFile(const std::string& fileName, const std::vector<std::uint8_t>& block);

// Grabber rows (24-bit, padded to 4 bytes, bottom-up when `bottomUp`) as rows of exactly
// width x 3 bytes, top-down. Empty when `grabber` is too short for the picture.
std::vector<std::uint8_t> TopDownRows(const std::vector<std::uint8_t>& grabber, int width, int height, bool bottomUp);

}  // namespace capture
