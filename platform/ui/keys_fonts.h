#pragma once
// What every window of the station takes alike from the window system: the Japanese gothic it
// writes in, and a key press as the character code its key procedures compare against.
#include <QFont>

class QKeyEvent;

namespace ui {

// The station's proportional Japanese gothic (IPAPGothic, with Noto Sans CJK JP where it is
// missing) at `points`, bold when asked.
QFont StationFont(double points, bool bold = false);

// The character code a key press gives: 13 Enter, 8 Backspace, 27 Esc, 9 Tab, the character
// typed for printable keys, 0 for keys that type nothing.
int KeyAsciiOf(const QKeyEvent* key);

}  // namespace ui
