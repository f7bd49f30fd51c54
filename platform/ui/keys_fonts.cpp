#include "ui/keys_fonts.h"

#include <QKeyEvent>
#include <QStringList>

namespace ui {

QFont StationFont(double points, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

int KeyAsciiOf(const QKeyEvent* key) {
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Tab: return 9;
    default: break;
  }
  const QString text = key->text();
  if (text.size() == 1 && text.at(0).unicode() >= 32) return text.at(0).unicode();
  return 0;
}

}  // namespace ui
