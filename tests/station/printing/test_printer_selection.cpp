// The printer dialog's choice carried over to the printer object, the default printer, and the
// message when no printer is installed; the dialog itself, driven through its fields, and the
// job read back.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>

#include "printing_fixture.h"
#include "ui/msgbox.h"

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

// The real printer dialog, driven through its fields by `act` once it is open (a dialog `act`
// leaves open is cancelled).
class PrinterDialog : public PrintingTest {
 protected:
  void SetUp() override {
    PrintingTest::SetUp();
    SetPrinterDialogHook({});
  }
  bool Show(std::function<void(QDialog&)> act) {
    QTimer::singleShot(0, [act] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      act(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    return ShowPrinterDialog(kPrintSetupFlags, nullptr);
  }
  // Every field the dialog offers the user (on any of its pages), as "class:name", sorted.
  static QStringList Offered(QDialog& dialog) {
    auto shown = [&dialog](QWidget* w) {
      for (; w && w != &dialog; w = w->parentWidget())
        if (w->isHidden() && !qobject_cast<QStackedWidget*>(w->parentWidget())) return false;
      return true;
    };
    QStringList fields;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
      const bool field = qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
                         qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QAbstractButton*>(w);
      if (!field || qobject_cast<QPushButton*>(w) || !shown(w)) continue;
      if (qobject_cast<QLineEdit*>(w) && qobject_cast<QAbstractSpinBox*>(w->parentWidget())) continue;
      if (qobject_cast<QLineEdit*>(w) && qobject_cast<QComboBox*>(w->parentWidget())) continue;
      fields << QString::fromLatin1(w->metaObject()->className()) + ":" + w->objectName();
    }
    fields.sort();
    return fields;
  }
  static void Ok(QDialog& dialog) {
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
      if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->click();
  }
};

TEST_F(PrinterDialog, OffersOnlyWhatTheJobHonoursAndTheJobTakesIt) {
  ThePrinter().SetOutputFile(QString());
  const QString file = out.filePath("setup.pdf");
  QStringList offered, printers;
  QString openedOn;
  ASSERT_TRUE(Show([&](QDialog& d) {
    offered = Offered(d);
    auto* printer = d.findChild<QComboBox*>("printer");
    auto* paper = d.findChild<QComboBox*>("paperSize");
    auto* output = d.findChild<QLineEdit*>("outputFile");
    auto* landscape = d.findChild<QRadioButton*>("landscape");
    if (!printer || !paper || !output || !landscape) return;
    for (int i = 0; i < printer->count(); ++i) printers << printer->itemText(i);
    openedOn = printer->currentText();
    printer->setCurrentIndex(printer->count() - 1);  // a PDF file
    output->setText(file);
    paper->setCurrentIndex(paper->findData(11));  // A5
    landscape->click();
    Ok(d);
  })) << "offered: " << offered.join(", ").toStdString();
  // The set-up form: the printer (or a PDF file), the paper and the orientation; no copies, page
  // range or page order that the job would not honour.
  EXPECT_EQ(offered, QStringList({"QComboBox:paperSize", "QComboBox:printer", "QLineEdit:outputFile",
                                  "QRadioButton:landscape", "QRadioButton:portrait"}));
  EXPECT_EQ(printers, QStringList({"Office Laser", "Label Writer", "PDFファイルへ出力"}));
  EXPECT_EQ(openedOn, "Office Laser");

  // The job carries what was chosen: an A5 landscape page in the chosen file.
  ASSERT_TRUE(ThePrinter().Print("x"));
  ASSERT_TRUE(ThePrinter().EndDoc());
  ASSERT_EQ(Jobs(), QStringList{file});
  const QSizeF page = testsupport::PdfPageSize(file);
  EXPECT_NEAR(page.width(), 210, 0.5);
  EXPECT_NEAR(page.height(), 148, 0.5);
}

TEST_F(PrinterDialog, AnExistingFileIsReplacedOnlyOnceConfirmedAndAPrinterEndsTheFile) {
  const QString file = out.filePath("kept.pdf");
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  auto chooseFile = [&](QDialog& d) {
    auto* printer = d.findChild<QComboBox*>("printer");
    auto* output = d.findChild<QLineEdit*>("outputFile");
    if (!printer || !output) return;
    printer->setCurrentIndex(printer->count() - 1);
    output->setText(file);
    Ok(d);
  };
  // Cancelling the question keeps the dialog open: it is then cancelled itself.
  boxes.Answer(ui::vbCancel);
  EXPECT_FALSE(Show(chooseFile));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "kept.pdf は既に存在します。\n上書きしますか?");
  EXPECT_EQ(boxes.Boxes()[0].style, ui::vbOKCancel + ui::vbExclamation);
  EXPECT_EQ(ThePrinter().Settings().outputFile, out.filePath("print.pdf"));

  ASSERT_TRUE(Show(chooseFile));
  EXPECT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(ThePrinter().Settings().outputFile, file);

  // Choosing a printer prints on it again.
  ASSERT_TRUE(Show([](QDialog& d) {
    if (auto* printer = d.findChild<QComboBox*>("printer")) printer->setCurrentIndex(1);
    Ok(d);
  }));
  EXPECT_EQ(ThePrinter().DeviceName(), "Label Writer");
  EXPECT_TRUE(ThePrinter().Settings().outputFile.isEmpty());
}

// A label's "(&F)" is its access key, shown underlined, and leads to the field beside it: a label
// without its field shows the ampersand itself and its key goes nowhere.
TEST_F(PrinterDialog, EveryLabelWithAnAccessKeyLeadsToItsField) {
  QStringList labels;
  ASSERT_FALSE(Show([&](QDialog& d) {
    for (QLabel* label : d.findChildren<QLabel*>()) {
      if (!label->text().contains('&')) continue;
      QWidget* field = label->buddy();
      labels << label->text() + " -> " + (field ? field->objectName() : QStringLiteral("(none)"));
    }
  }));
  labels.sort();
  EXPECT_EQ(labels.join(" | ").toStdString(),
            "サイズ(&Z): -> paperSize | ファイル名(&F): -> outputFile | プリンタ名(&N): -> printer");
}

}  // namespace
