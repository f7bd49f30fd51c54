#include "history/mdlPrinter.h"

#include "printing/catalog.h"
#include "ui/msgbox.h"

namespace {

PrinterDialogHook& Hook() {
  static PrinterDialogHook hook;
  return hook;
}

}  // namespace

void SetPrinterDialogHook(PrinterDialogHook hook) { Hook() = std::move(hook); }

bool ShowPrinterDialog(int flags, QWidget* owner) {
  printing::Printer& printer = printing::ThePrinter();
  printing::PrinterSettings chosen = printer.Settings();
  chosen.deviceName = printer.DeviceName();
  const bool confirmed = Hook() ? Hook()(chosen, flags, owner)
                                : printing::ExecPrintDialog(chosen, owner);
  if (!confirmed) return false;

  const QString installed = printing::FindInstalled(chosen.deviceName);
  printing::PrinterSettings taken = chosen;
  taken.deviceName = installed.isEmpty() ? printer.Settings().deviceName : installed;
  printer.SetSettings(taken);
  if (!printer.SetPaperSize(chosen.paperSize, chosen.paperWidth, chosen.paperLength))
    ui::MsgBox(QStringLiteral("指定された用紙サイズが不正です"), ui::vbOKOnly,
               QStringLiteral("プリンタの設定"));
  return true;
}

void SetDefaultPrinter(const QString& name) {
  const QString installed = printing::FindInstalled(name);
  if (!installed.isEmpty()) printing::Catalog().SetDefault(installed);
}

bool PrinterInstalled() {
  if (!printing::Catalog().Names().isEmpty()) return true;
  ui::MsgBox(QStringLiteral("プリンタがインストールされていません"), ui::vbCritical,
             QStringLiteral("印刷エラー"));
  return false;
}
