#include <QPrintDialog>

#include "printing/catalog.h"
#include "printing/qprinter_settings.h"

namespace printing {

bool ExecPrintDialog(PrinterSettings& settings, QWidget* owner) {
  QPrinter printer(QPrinter::HighResolution);
  const QString installed = FindInstalled(settings.deviceName);
  if (!installed.isEmpty()) printer.setPrinterName(installed);
  if (!settings.outputFile.isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(settings.outputFile);
  }
  ApplyToQPrinter(settings, printer);

  // The set-up form of the dialog: the printer and its paper, no page range or copies.
  QPrintDialog dialog(&printer, owner);
  dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
  if (dialog.exec() != QDialog::Accepted) return false;
  ReadFromQPrinter(printer, settings);
  return true;
}

}  // namespace printing
