#pragma once
// BMP to JPEG conversion in three steps: read a BMP file into an in-memory bitmap (a handle),
// encode the bitmap as a JPEG file, free the bitmap.
#include <QImage>
#include <QString>

#include <cstdint>

namespace imaging {

// A handle of an in-memory bitmap; 0 is no bitmap.
using DibHandle = std::uint32_t;

// Reads a BMP file (any bit depth and compression the BMP format knows, bottom-up or top-down).
// Returns the handle of the bitmap, or 0 when the file is missing, not a BMP or damaged.
DibHandle BMPtoDIB(const QString& bmpPath);

// Encodes the bitmap as a JPEG file at `jpegPath` (created or replaced). `quality` is 1 to 100
// (values outside are clamped); a non-zero `progressive` writes a progressive JPEG, else a baseline
// one. Returns non-zero on success. On failure nothing is left at `jpegPath`: an unknown handle,
// an encoder failure or a failed write give 0 and never a partial file, and an existing file there
// is kept as it was. The file is its owner's alone (mode 0600): the JPEGs are photographs.
// With `flush` false the file is whole and in place when this returns but not yet forced to the
// disk (FlushFile does that later), for a caller that must not wait for the disk.
int DIBtoJPG(const QString& jpegPath, DibHandle dib, int quality, int progressive, bool flush = true);

// The bitmap as a picture, top row first, in QImage::Format_RGB32; a null image for an unknown
// handle.
QImage DIBImage(DibHandle dib);

// Forces a written file's contents to the disk. False when it cannot be opened or flushed.
bool FlushFile(const QString& path);

// Frees the bitmap. An unknown handle (0, freed already) is ignored.
void DeleteDIB(DibHandle dib);

// The number of bitmaps held and not freed yet (leak checks).
int LiveDIBCount();

}  // namespace imaging
