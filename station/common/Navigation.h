#pragma once
// The windows that open windows of another folder (the login opens the station or the
// administration, the administration brings the login back) do it through here, by the window's
// role: the folder that holds a window says how it opens, the caller needs none of its headers.
#include <functional>

namespace nav {

enum class Window {
  Login,             // a new login window, which runs the whole start-up again
  Station,           // the backdrop and the full-screen station window
  MinimizedStation,  // the scanner-only station, started minimized
  Settings,          // the administrator's settings window
  HistoryFilter,     // the print and selection window as the history filter (modal)
  CardPrint,         // the print and selection window for the ID card sheets (modal)
  BulkRecipients,    // the print and selection window choosing the bulk mail's recipients and
                     // sending it (modal; the composer has filled TheBulkMailDraft())
};

using Opener = std::function<void()>;

// Says how a window opens; the program's start wires every window once.
void SetOpener(Window window, Opener open);

// Opens the window; false when nothing said how (a program built without that window).
bool Open(Window window);

}  // namespace nav
