// The printer object writing PDF files, the CUPS catalog without a print server, and the
// barcode encoder's refusals.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>

#include "barcode/barcode.h"
#include "printing/catalog.h"
#include "printing/printing.h"
#include "support/support_pdf.h"

namespace {

TEST(PrinterObject, EveryJobIsOnePdfFileAndLinesMoveThePosition) {
  QTemporaryDir dir;
  printing::Printer printer;
  printer.SetOutputFile(dir.filePath("out.pdf"));
  EXPECT_TRUE(printer.EndDoc());  // nothing printed: no job, no file
  EXPECT_TRUE(printer.JobFiles().isEmpty());

  printer.SetScaleMode(printing::vbMillimeters);
  printer.FontSize = 12;
  const double line = printer.TextHeight();
  EXPECT_NEAR(line, 12 * 25.4 / 72, 0.8);  // about one em
  printer.CurrentX = 30;
  printer.CurrentY = 40;
  ASSERT_TRUE(printer.Print("first\r\nsecond"));
  EXPECT_EQ(printer.CurrentX, 0);
  EXPECT_NEAR(printer.CurrentY, 40 + 2 * line, 1e-9);
  ASSERT_TRUE(printer.Print());  // an empty text leaves an empty line
  EXPECT_NEAR(printer.CurrentY, 40 + 3 * line, 1e-9);
  ASSERT_TRUE(printer.EndDoc());
  printer.SetOrientation(printing::vbPRORLandscape);
  ASSERT_TRUE(printer.Print("third"));
  ASSERT_TRUE(printer.EndDoc());

  ASSERT_EQ(printer.JobFiles(), QStringList({dir.filePath("out.pdf"), dir.filePath("out-2.pdf")}));
  auto words = testsupport::PdfWords(printer.JobFiles()[0]);
  ASSERT_EQ(words.size(), 2u);
  std::sort(words.begin(), words.end(), [](const auto& a, const auto& b) { return a.yMin < b.yMin; });
  EXPECT_NEAR(words[0].xMin, 30, 0.5);   // the text starts at the position
  EXPECT_NEAR(words[1].xMin, 0, 0.5);    // the line after CR LF starts at the left edge
  EXPECT_NEAR(words[1].yMin - words[0].yMin, line, 0.3);
  EXPECT_TRUE(testsupport::PdfText(printer.JobFiles()[1]).contains("third"));
  // The second job took the landscape paper.
  EXPECT_GT(testsupport::RenderPdfPage(printer.JobFiles()[1], 1, 10).width(),
            testsupport::RenderPdfPage(printer.JobFiles()[1], 1, 10).height());
}

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
  printing::SetCatalog(nullptr);
  EXPECT_TRUE(printing::Catalog().Names().isEmpty());
  EXPECT_TRUE(printing::Catalog().DefaultName().isEmpty());
  EXPECT_FALSE(printing::Catalog().SetDefault("Office"));
  EXPECT_TRUE(printing::FindInstalled("Office").isEmpty());
  // Printing on a printer needs an installed one.
  printing::Printer printer;
  EXPECT_FALSE(printer.Print("x"));
  EXPECT_FALSE(printer.LastError().isEmpty());
}

TEST(Barcode, Code128KeepsEveryCharacterAndRefusesWhatItCannotCarry) {
  barcode::Symbol nine, leading;
  ASSERT_TRUE(barcode::EncodeCode128("123456789", nine));
  ASSERT_TRUE(barcode::EncodeCode128("000123456", leading));
  EXPECT_GT(nine.modules, 0);
  EXPECT_FALSE(nine.bars.empty());
  EXPECT_NE(nine.bars, leading.bars);
  QString error;
  EXPECT_FALSE(barcode::EncodeCode128("", nine, &error));
  EXPECT_FALSE(barcode::EncodeCode128("山田", nine, &error));
  EXPECT_FALSE(error.isEmpty());
}

}  // namespace
