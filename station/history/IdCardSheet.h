#pragma once
// ID card sheets: one card per member with the installation's logo, the member's ID, name, the
// installation's name and a barcode of the ID, ten cards to an A4 sheet, each sheet its own job.
#include <QPointF>
#include <QString>

class PictureBox;

namespace db {
class Recordset;
}
namespace printing {
class Printer;
}

// The top left corner of card `card` (counted from 1 over the run), in millimetres.
QPointF CardOrigin(int card);

// Prints `count` cards from the current record of `members` on (fields ID and UserName), moving
// it one record per card. The logo `logoFile` is fitted into 40 x 30 mm through the window's
// picture control `imgLogo`, which keeps that size afterwards. A name or installation name too
// wide for its card is printed smaller, and cut short when even that is too wide.
// False at the first failure (logo missing or unreadable, printer, barcode); `error` tells why
// and the sheets ended before stay printed.
bool PrintIdCards(printing::Printer& printer, db::Recordset& members, int count,
                  const QString& appUser, const QString& logoFile, PictureBox& imgLogo,
                  QString* error = nullptr);
