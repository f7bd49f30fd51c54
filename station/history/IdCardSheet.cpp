#include "history/IdCardSheet.h"

#include <algorithm>

#include "barcode/barcode.h"
#include "common/PictureBox.h"
#include "common/mdlPicture.h"
#include "db/db.h"
#include "printing/printing.h"

namespace {

constexpr int kCardsPerSheet = 10;
constexpr double kCardWidth = 91;   // the card pitch across
constexpr double kCardHeight = 55;  // and down
constexpr double kTextRight = 88;   // texts end 3 mm before the next card
constexpr double kBarcodeWidth = 40;
constexpr double kBarcodeHeight = 10;
constexpr double kBarcodeMaxModule = 0.4;
constexpr double kSmallestFont = 6;

// Prints `text` at the current position within `width` millimetres: a smaller font down to
// kSmallestFont when it is too wide, then the text cut short with "…".
bool PrintWithin(printing::Printer& printer, QString text, double width) {
  while (printer.TextWidth(text) > width && printer.FontSize > kSmallestFont)
    printer.FontSize = std::max(kSmallestFont, printer.FontSize - 0.5);
  if (printer.TextWidth(text) > width) {
    while (!text.isEmpty() && printer.TextWidth(text + QStringLiteral("…")) > width) text.chop(1);
    text += QStringLiteral("…");
  }
  return printer.Print(text);
}

// A new sheet for the `cards` members from the current record on, its job titled with their
// first and last ID.
void StartSheet(printing::Printer& printer, db::Recordset& members, int cards) {
  printer.SetPaperSize(printing::vbPRPSA4);
  printer.SetOrientation(printing::vbPRORPortrait);
  if (cards <= 0 || members.Eof()) return;  // no sheet follows
  const int at = members.AbsolutePosition();
  const QString first = members.Text(QStringLiteral("ID"));
  members.Move(std::min(at + cards, members.RecordCount()) - 1);
  const QString last = members.Text(QStringLiteral("ID"));
  members.Move(at);
  printer.SetDocName(QStringLiteral("Velmor ID cards %1-%2").arg(first, last));
}

}  // namespace

QPointF CardOrigin(int card) {
  const int position = (card - 1) % kCardsPerSheet;
  return QPointF(position % 2 == 0 ? 14 : 14 + kCardWidth, 11 + kCardHeight * (position / 2));
}

bool PrintIdCards(printing::Printer& printer, db::Recordset& members, int count,
                  const QString& appUser, const QString& logoFile, PictureBox& imgLogo,
                  QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  printer.SetScaleMode(printing::vbMillimeters);
  StartSheet(printer, members, std::min(count, kCardsPerSheet));

  // The logo is the same on every card: it is fitted once, before the first card.
  if (count > 0) {
    imgLogo.setStretch(true);
    imgLogo.setWidth(40);
    imgLogo.setHeight(30);
    QString why;
    if (!FitPicture(40, 30, imgLogo, logoFile, false, imgLogo.Top(), QStringLiteral("Left"),
                    imgLogo.Left(), QStringLiteral("Top"), &why))
      return fail(QStringLiteral("logo: %1").arg(why));
  }
  const QPixmap logo = imgLogo.Picture();
  const double logoWidth = imgLogo.Width();
  const double logoHeight = imgLogo.Height();

  for (int card = 1; card <= count && !members.Eof(); ++card) {
    const QString id = members.Text(QStringLiteral("ID"));
    const QPointF origin = CardOrigin(card);
    const double x = origin.x();
    const double y = origin.y();
    if (!printer.PaintPicture(logo, x, y, logoWidth, logoHeight)) return fail(printer.LastError());

    printer.FontName = QStringLiteral("ＭＳ ゴシック");
    printer.FontSize = 8;
    printer.FontBold = true;
    printer.CurrentX = x + 45;
    printer.CurrentY = y + 5;
    if (!PrintWithin(printer, QStringLiteral("ID:") + id, kTextRight - 45)) return fail(printer.LastError());
    printer.FontSize = 10;
    printer.CurrentX = x + 45;
    printer.CurrentY += 5;
    if (!PrintWithin(printer, members.Text(QStringLiteral("UserName")), kTextRight - 45))
      return fail(printer.LastError());
    printer.FontSize = 12;
    printer.CurrentX = x;
    printer.CurrentY = y + 40;
    if (!PrintWithin(printer, appUser, kTextRight)) return fail(printer.LastError());

    QPainter* painter = printer.Painter();
    if (!painter) return fail(printer.LastError());
    const QRectF box = printer.DeviceRect(x + 42, y + 25, kBarcodeWidth, kBarcodeHeight);
    const double maxModule = printer.DeviceRect(0, 0, kBarcodeMaxModule, 0).width();
    QString why;
    if (!barcode::DrawCode128(*painter, box, id, maxModule, &why))
      return fail(QStringLiteral("barcode of \"%1\": %2").arg(id, why));

    if (card % kCardsPerSheet == 0) {
      if (!printer.EndDoc()) return fail(printer.LastError());
      members.MoveNext();
      StartSheet(printer, members, std::min(count - card, kCardsPerSheet));
      continue;
    }
    members.MoveNext();
  }
  if (count != 0 && !printer.EndDoc()) return fail(printer.LastError());
  return true;
}
