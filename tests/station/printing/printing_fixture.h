#pragma once
// Printing tests: a program folder, a list of installed printers of the test's own in place of
// the CUPS destinations, the printer object writing each job as a PDF file into a folder of the
// test, and a printer dialog that the test answers.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "history/mdlPrinter.h"
#include "printing/catalog.h"
#include "printing/printing.h"
#include "support/msgbox_recorder.h"
#include "support/support_pdf.h"
#include "support/support_program.h"

class FakeCatalog : public printing::PrinterCatalog {
 public:
  FakeCatalog(QStringList names, QString byDefault) : names_(names), default_(byDefault) {}
  QStringList Names() const override { return names_; }
  QString DefaultName() const override { return default_; }
  bool SetDefault(const QString& name) override {
    if (!names_.contains(name)) return false;
    default_ = name;
    return true;
  }
  QStringList names_;
  QString default_;
};

class PrintingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // VELMOR_KEEP_PRINTS=1 keeps the PDF files of the tests for a look at them.
    out.setAutoRemove(qEnvironmentVariableIsEmpty("VELMOR_KEEP_PRINTS"));
    auto fake = std::make_unique<FakeCatalog>(QStringList{"Office Laser", "Label Writer"}, "Office Laser");
    catalog = fake.get();
    printing::SetCatalog(std::move(fake));
    printing::ResetThePrinter();
    printing::ThePrinter().SetOutputFile(out.filePath("print.pdf"));
    SetPrinterDialogHook([this](printing::PrinterSettings& settings, int flags, QWidget*) {
      ++dialogs;
      lastFlags = flags;
      if (choose) choose(settings);
      return confirm;
    });
  }
  void TearDown() override {
    SetPrinterDialogHook({});
    printing::ResetThePrinter();
    printing::SetCatalog(nullptr);
  }
  // The PDF files written, one per print job, in job order.
  QStringList Jobs() const { return printing::ThePrinter().JobFiles(); }
  int FilesWritten() const { return QDir(out.path()).entryList(QDir::Files).size(); }

  testsupport::ProgramFolder folder;
  testsupport::MsgBoxRecorder boxes;
  QTemporaryDir out;
  FakeCatalog* catalog = nullptr;
  int dialogs = 0;
  int lastFlags = 0;
  bool confirm = true;
  std::function<void(printing::PrinterSettings&)> choose;
};
