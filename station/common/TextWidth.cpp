#include "common/TextWidth.h"

QString ToHalfWidth(const QString& text) {
  QString out = text;
  for (QChar& c : out) {
    const char16_t u = c.unicode();
    if (u >= 0xFF01 && u <= 0xFF5E)
      c = QChar(static_cast<char16_t>(u - 0xFF01 + 0x21));
    else if (u == 0x3000)
      c = QLatin1Char(' ');
  }
  return out;
}
