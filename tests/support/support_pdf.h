#pragma once
// Reading printed PDF files back as a person would see them: their text (poppler's pdftotext),
// the place of each word, pages rendered to pictures (pdftoppm), barcodes scanned from those
// pictures (zbarimg).
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <vector>

namespace testsupport {

// The text of a PDF file with its layout kept (one text line per printed line).
QString PdfText(const QString& pdf);
// The title of a PDF file (its print job's name).
QString PdfTitle(const QString& pdf);
// The number of pages of a PDF file (0 when it cannot be read).
int PdfPages(const QString& pdf);
// The size of page `page` (from 1) in millimetres, width across; empty when it cannot be read.
QSizeF PdfPageSize(const QString& pdf, int page = 1);

// A word of a PDF page and its box, in millimetres from the page's top left corner.
struct PdfWord {
  int page = 0;  // from 1
  QString text;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};
std::vector<PdfWord> PdfWords(const QString& pdf);

// Page `page` (from 1) rendered at `dpi` dots per inch.
QImage RenderPdfPage(const QString& pdf, int page, int dpi);

// The Code 128 barcodes zbarimg finds in a picture, in the order it reports them.
QStringList ScanBarcodes(const QImage& picture);

}  // namespace testsupport
