#include "barcode/barcode.h"

#include <zint.h>

#include <memory>

namespace barcode {

bool EncodeCode128(const QString& text, Symbol& symbol, QString* error) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (text.isEmpty()) return fail(QStringLiteral("no text to encode"));
  const std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> zs(ZBarcode_Create(), ZBarcode_Delete);
  if (!zs) return fail(QStringLiteral("the barcode encoder is out of memory"));
  zs->symbology = BARCODE_CODE128;
  zs->input_mode = UNICODE_MODE;
  zs->show_hrt = 0;
  zs->output_options |= BARCODE_NO_QUIET_ZONES;
  const QByteArray utf8 = text.toUtf8();
  const int rc = ZBarcode_Encode(zs.get(), reinterpret_cast<const unsigned char*>(utf8.constData()),
                                 utf8.size());
  if (rc >= ZINT_ERROR) return fail(QString::fromUtf8(zs->errtxt));
  if (ZBarcode_Buffer_Vector(zs.get(), 0) >= ZINT_ERROR || !zs->vector || zs->width <= 0)
    return fail(QString::fromUtf8(zs->errtxt));

  // The vector's units per module follow from its width and the symbol's width in modules.
  const double unit = zs->vector->width / zs->width;
  symbol.modules = zs->width;
  symbol.bars.clear();
  for (const zint_vector_rect* r = zs->vector->rectangles; r; r = r->next)
    symbol.bars.emplace_back(r->x / unit, r->width / unit);
  return true;
}

bool DrawCode128(QPainter& painter, const QRectF& box, const QString& text, double maxModule,
                 QString* error) {
  Symbol symbol;
  if (!EncodeCode128(text, symbol, error)) return false;
  const double module =
      std::min(maxModule, box.width() / (symbol.modules + 2.0 * kQuietModules));
  const double left = box.left() + kQuietModules * module;
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  for (const auto& [start, width] : symbol.bars)
    painter.drawRect(QRectF(left + start * module, box.top(), width * module, box.height()));
  painter.restore();
  return true;
}

}  // namespace barcode
