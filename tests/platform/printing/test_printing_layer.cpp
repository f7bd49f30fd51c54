// The printer object's refusals, the CUPS catalog without a print server, and the
// barcode encoder's refusals.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cups/cups.h>

#include "barcode/barcode.h"
#include "printing/catalog.h"
#include "printing/printing.h"

namespace {

TEST(PrinterObject, RefusesUnknownPaperAndReportsUnwritableFiles) {
  printing::Printer printer;
  EXPECT_TRUE(printer.SetPaperSize(printing::vbPRPSA4));
  EXPECT_FALSE(printer.SetPaperSize(9999));
  EXPECT_FALSE(printer.SetPaperSize(printing::vbPRPSUser));  // a user size needs its measures
  EXPECT_EQ(printer.PaperSize(), printing::vbPRPSA4);

  printer.SetOutputFile("/nonexistent-folder/out.pdf");
  EXPECT_FALSE(printer.Print("x"));
  EXPECT_TRUE(printer.LastError().contains("/nonexistent-folder/out.pdf"));
  EXPECT_TRUE(printer.JobFiles().isEmpty());
}

TEST(CupsCatalog, WithoutAPrintServerListsNothingAndSetsNoDefault) {
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  qputenv("CUPS_SERVER", "127.0.0.1:9");  // nothing listens there
  // The CUPS library keeps the server it met first (a print job of an earlier test asked the
  // machine's scheduler): it is told of the other one.
  cupsSetServer("127.0.0.1:9");
  printing::SetCatalog(nullptr);
  EXPECT_TRUE(printing::Catalog().Names().isEmpty());
  EXPECT_TRUE(printing::Catalog().DefaultName().isEmpty());
  EXPECT_FALSE(printing::Catalog().SetDefault("Office"));
  EXPECT_TRUE(printing::FindInstalled("Office").isEmpty());
  // Printing on a printer needs an installed one.
  printing::Printer printer;
  EXPECT_FALSE(printer.Print("x"));
  EXPECT_FALSE(printer.LastError().isEmpty());
  cupsSetServer(nullptr);
  qunsetenv("CUPS_SERVER");
}

TEST(Barcode, RefusesWhatCode128CannotCarry) {
  barcode::Symbol symbol;
  QString error;
  EXPECT_FALSE(barcode::EncodeCode128("", symbol, &error));
  EXPECT_FALSE(barcode::EncodeCode128("山田", symbol, &error));
  EXPECT_FALSE(error.isEmpty());
}

}  // namespace
