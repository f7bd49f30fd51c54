#pragma once
// Barcodes of ID texts: Code 128 (every character of the text is kept, leading zeros included),
// encoded by zint and drawn as bars onto any painter.
#include <QPainter>
#include <QRectF>
#include <QString>

#include <vector>

namespace barcode {

// The quiet zone on each side of the bars, in modules.
constexpr int kQuietModules = 10;

// The bars of an encoded text, in modules from the symbol's first bar.
struct Symbol {
  int modules = 0;                         // width of the bars, quiet zones not counted
  std::vector<std::pair<double, double>> bars;  // each bar's start and width
};

// Encodes `text` as Code 128. False (and `error` says why) for an empty text or a character
// Code 128 cannot carry.
bool EncodeCode128(const QString& text, Symbol& symbol, QString* error = nullptr);

// Draws the Code 128 symbol of `text` into `box` (painter coordinates): quiet zones inside the
// box on both sides, the bars as wide as the box allows but no wider than `maxModule` per
// module, over the box's full height, from its left edge. False when the text cannot be encoded.
bool DrawCode128(QPainter& painter, const QRectF& box, const QString& text, double maxModule,
                 QString* error = nullptr);

}  // namespace barcode
