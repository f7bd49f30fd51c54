// The machine's own printers as the project's scripts set them up (the CUPS scheduler and the
// PDF queue of printer-driver-cups-pdf): the printer dialog lists the queue, and a page printed
// on it comes out as a PDF file in ~/PDF of the user who printed, named after the job's title.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

#include "printing/catalog.h"
#include "printing/printing.h"

namespace {

QString PdfFolder() {
  const passwd* user = getpwuid(getuid());
  return QString::fromLocal8Bit(user ? user->pw_dir : "") + QStringLiteral("/PDF");
}

QString TextOf(const QString& pdf) {
  QProcess process;
  process.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
  process.waitForFinished(30000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(PrintQueue, TheDialogListsThePdfQueueAndItsPagesLandInHomePdf) {
  printing::SetCatalog(nullptr);
  const QStringList names = printing::Catalog().Names();
  ASSERT_TRUE(names.contains(QStringLiteral("PDF")))
      << "queues: " << names.join(", ").toStdString() << " (is the CUPS scheduler running?)";

  QStringList listed;
  QTimer::singleShot(0, [&listed] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    if (auto* printer = dialog->findChild<QComboBox*>(QStringLiteral("printer")))
      for (int i = 0; i < printer->count(); ++i) listed << printer->itemText(i);
    dialog->reject();
  });
  printing::PrinterSettings settings;
  EXPECT_FALSE(printing::ExecPrintDialog(settings, nullptr));
  EXPECT_TRUE(listed.contains(QStringLiteral("PDF"))) << listed.join(", ").toStdString();

  // A page on the queue, marked so that its file can be told from others.
  const QString mark = QUuid::createUuid().toString(QUuid::Id128);
  const QDateTime started = QDateTime::currentDateTime().addSecs(-2);
  printing::Printer printer;
  printer.SetDeviceName(QStringLiteral("PDF"));
  printer.SetDocName(QStringLiteral("Velmor queue test ") + mark);
  printer.SetScaleMode(printing::vbMillimeters);
  printer.CurrentX = printer.CurrentY = 20;
  ASSERT_TRUE(printer.Print(mark)) << printer.LastError().toStdString();
  ASSERT_TRUE(printer.EndDoc()) << printer.LastError().toStdString();

  QString found;
  QElapsedTimer waited;
  waited.start();
  while (found.isEmpty() && waited.elapsed() < 60000) {
    for (const QFileInfo& file : QDir(PdfFolder()).entryInfoList({"*.pdf"}, QDir::Files))
      if (file.lastModified() >= started && TextOf(file.filePath()).contains(mark))
        found = file.filePath();
    if (found.isEmpty()) QThread::msleep(250);
  }
  ASSERT_FALSE(found.isEmpty()) << "no PDF with the page in " << PdfFolder().toStdString();
  // The queue names the file after the job's title.
  EXPECT_TRUE(QFileInfo(found).fileName().startsWith(QStringLiteral("Velmor_queue_test_") + mark))
      << found.toStdString();
  QFile::remove(found);
}

}  // namespace
