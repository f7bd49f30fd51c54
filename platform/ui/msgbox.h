#pragma once
// Message boxes in the style words of the station: the style is the sum of a button set and an
// icon; the answer is the button pressed.
#include <QString>

#include <functional>

namespace ui {

enum MsgBoxStyle {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
};

enum MsgBoxResult { vbOK = 1, vbCancel = 2 };

// The title used when a message box is given none.
QString DefaultTitle();

// Shows a modal message box and returns the button pressed (vbOK or vbCancel). A box with Cancel
// that is left unanswered (its loop ended by the end of the program) gives vbCancel.
int MsgBox(const QString& text, int style = vbOKOnly, const QString& title = QString());

// A hook that answers message boxes instead of a person (tests, unattended runs). It receives the
// text, the style and the title actually shown (the default title filled in) and returns the
// answer. An empty hook restores the real message box.
using MsgBoxHook = std::function<int(const QString& text, int style, const QString& title)>;
void SetMsgBoxHook(MsgBoxHook hook);

// While stopped, no message box is shown (nor given to the hook): each returns at once as one
// left unanswered. The end of the program stops them, so that nothing waits for a person any more.
void SetMsgBoxesStopped(bool stopped);

}  // namespace ui
