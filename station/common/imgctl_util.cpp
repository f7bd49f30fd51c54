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
