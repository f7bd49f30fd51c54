// The printer dialog's choice carried over to the printer object, the default printer, and the
// message when no printer is installed.
#include "printing_fixture.h"

namespace {

using printing::ThePrinter;

TEST_F(PrintingTest, CancelLeavesThePrinterAsItWas) {
  confirm = false;
  choose = [](printing::PrinterSettings& s) {
    s.deviceName = "Label Writer";
    s.orientation = printing::vbPRORLandscape;
  };
  EXPECT_FALSE(ShowPrinterDialog(kPrintSetupFlags, nullptr));
  EXPECT_EQ(lastFlags, 64);
  EXPECT_EQ(ThePrinter().DeviceName(), "Office Laser");
  EXPECT_EQ(ThePrinter().Orientation(), printing::vbPRORPortrait);
}

TEST_F(PrintingTest, TheChosenPrinterAndItsSettingsAreTaken) {
  // Another printer, named in other letter case, with A4 landscape, duplex, grey and a bin.
  choose = [](printing::PrinterSettings& s) {
    EXPECT_EQ(s.deviceName, "Office Laser");  // the dialog opens on the current printer
    s.deviceName = "LABEL WRITER";
    s.paperSize = 9;
    s.orientation = printing::vbPRORLandscape;
    s.duplex = printing::vbPRDPVertical;
    s.colorMode = printing::vbPRCMMonochrome;
    s.paperBin = 2;
    s.zoom = 50;
  };
  ASSERT_TRUE(ShowPrinterDialog(kPrintSetupFlags, nullptr));
  const printing::PrinterSettings& s = ThePrinter().Settings();
  EXPECT_EQ(ThePrinter().DeviceName(), "Label Writer");
  EXPECT_EQ(ThePrinter().PaperSize(), 9);
  EXPECT_EQ(ThePrinter().Orientation(), 2);
  EXPECT_EQ(s.duplex, printing::vbPRDPVertical);
  EXPECT_EQ(s.colorMode, printing::vbPRCMMonochrome);
  EXPECT_EQ(s.paperBin, 2);
  EXPECT_EQ(s.zoom, 50);
  EXPECT_TRUE(boxes.Boxes().empty());

  // A name no printer has leaves the printer object on its printer.
  choose = [](printing::PrinterSettings& s) { s.deviceName = "Gone"; };
  ASSERT_TRUE(ShowPrinterDialog(kPrintSetupFlags, nullptr));
  EXPECT_EQ(ThePrinter().DeviceName(), "Label Writer");

  // A user-defined paper survives the dialog unchanged.
  choose = [](printing::PrinterSettings& s) {
    s.paperSize = printing::vbPRPSUser;
    s.paperWidth = 86;
    s.paperLength = 54;
  };
  ASSERT_TRUE(ShowPrinterDialog(kPrintSetupFlags, nullptr));
  choose = nullptr;
  ASSERT_TRUE(ShowPrinterDialog(kPrintSetupFlags, nullptr));
  EXPECT_EQ(ThePrinter().PaperSize(), printing::vbPRPSUser);
  EXPECT_DOUBLE_EQ(ThePrinter().Settings().paperWidth, 86);
  EXPECT_DOUBLE_EQ(ThePrinter().Settings().paperLength, 54);
}

TEST_F(PrintingTest, ABadPaperIsReportedAndTheOtherSettingsStillTaken) {
  choose = [](printing::PrinterSettings& s) {
    s.paperSize = 9999;
    s.orientation = printing::vbPRORLandscape;
  };
  ASSERT_TRUE(ShowPrinterDialog(kPrintSetupFlags, nullptr));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "指定された用紙サイズが不正です");
  EXPECT_EQ(boxes.Boxes()[0].title, "プリンタの設定");
  EXPECT_EQ(boxes.Boxes()[0].style, 0);
  EXPECT_EQ(ThePrinter().PaperSize(), 9);
  EXPECT_EQ(ThePrinter().Orientation(), 2);
}

TEST_F(PrintingTest, DefaultPrinterAndNoPrinter) {
  SetDefaultPrinter("label writer");
  EXPECT_EQ(catalog->default_, "Label Writer");
  SetDefaultPrinter("Gone");
  EXPECT_EQ(catalog->default_, "Label Writer");

  EXPECT_TRUE(PrinterInstalled());
  catalog->names_.clear();
  EXPECT_FALSE(PrinterInstalled());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "プリンタがインストールされていません");
  EXPECT_EQ(boxes.Boxes()[0].title, "印刷エラー");
  EXPECT_EQ(boxes.Boxes()[0].style, 16);
}

}  // namespace
