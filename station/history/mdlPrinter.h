#pragma once
// Printer selection for the printing windows: the printer set-up dialog whose choice the printer
// object takes over, the user's default printer, and the check that a printer is installed.
#include <QString>

#include <functional>

#include "printing/printing.h"

class QWidget;

// Flags of the printer dialog: 64 asks for its set-up form (the callers' only use).
constexpr int kPrintSetupFlags = 64;

// Shows the printer dialog over the printer object's settings. On confirmation the printer
// object becomes the chosen printer (an installed one whose name matches letter case aside; else
// it stays) with the chosen paper, paper bin, quality, colour, duplex, orientation, scale and
// output file; a paper the printer rejects shows "指定された用紙サイズが不正です" and the
// other settings are still taken. True when the user confirmed.
bool ShowPrinterDialog(int flags, QWidget* owner);

// Makes the installed printer `name` (letter case aside) the user's default printer; nothing
// happens when no such printer is installed.
void SetDefaultPrinter(const QString& name);

// True when at least one printer is installed; otherwise shows "プリンタがインストールされて
// いません" (title "印刷エラー", stop icon) and returns false.
bool PrinterInstalled();

// A hook that plays the user instead of showing the dialog: it gets the settings the dialog
// would show, may change them, and returns true for OK. An empty hook restores the dialog.
using PrinterDialogHook =
    std::function<bool(printing::PrinterSettings& settings, int flags, QWidget* owner)>;
void SetPrinterDialogHook(PrinterDialogHook hook);
