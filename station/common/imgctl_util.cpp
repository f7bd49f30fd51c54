#include "common/imgctl_util.h"

#include "imaging/imaging.h"

bool ConvertBmpToJpg(const QString& jpegPath, const QString& bmpPath, qint16 quality,
                     qint16 progressive) {
  const imaging::DibHandle dib = imaging::BMPtoDIB(bmpPath);
  if (dib == 0) return false;
  const int written = imaging::DIBtoJPG(jpegPath, dib, quality, progressive);
  imaging::DeleteDIB(dib);
  return written != 0;
}

bool ConvertStillToJpg(const QString& jpegPath, const QString& bmpPath, QImage* still) {
  const imaging::DibHandle dib = imaging::BMPtoDIB(bmpPath);
  if (dib == 0) return false;
  const int written = imaging::DIBtoJPG(jpegPath, dib, 100, 0, false);
  if (written != 0 && still) *still = imaging::DIBImage(dib);
  imaging::DeleteDIB(dib);
  return written != 0;
}

bool FlushPhoto(const QString& path) { return path.isEmpty() || imaging::FlushFile(path); }
