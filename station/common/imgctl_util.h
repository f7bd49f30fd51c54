#pragma once
// Conversion of the camera's BMP stills into JPEG files.
#include <QImage>
#include <QString>

// Writes the BMP file `bmpPath` as the JPEG file `jpegPath` with the given quality (1 to 100) and
// a progressive JPEG when `progressive` is not 0. Returns true when the JPEG was written; false
// on any failure, and then no JPEG is left at `jpegPath`. The BMP file is left as it is.
bool ConvertBmpToJpg(const QString& jpegPath, const QString& bmpPath, qint16 quality,
                     qint16 progressive);

// The same at the station's quality for its photo, in a hurry: `still` gets the picture as read
// (to show it without reading the JPEG back), and the JPEG is whole and in place but not yet
// forced to the disk: FlushPhoto does that once the member has been greeted.
bool ConvertStillToJpg(const QString& jpegPath, const QString& bmpPath, QImage* still);
bool FlushPhoto(const QString& path);
