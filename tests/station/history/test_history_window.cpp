// The history window: its grid and photo buttons, the empty and the failed query, the CSV export
// and the photo viewer.
#include "history_fixture.h"
#include "support/support_postgres.h"
#include "support/support_program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include "codepage/codepage.h"
#include "common/PictureBox.h"
#include "common/RowButtonDelegate.h"
#include "common/globals.h"
#include "common/mdlComDlg.h"
#include "db/db.h"
#include "history/HistGridModel.h"
#include "history/frmHist.h"
#include "history/frmImg.h"
#include "ui/msgbox.h"

namespace historytest {
namespace {

class HistoryWindow : public HistoryTest, public ::testing::WithParamInterface<testsupport::Driver> {
 protected:
  void SetUp() override {
    folder_.SetDriver(GetParam());
    HistoryTest::SetUp();
  }

  // January 2026, every member.
  frmHist& Open() {
    glngHistFrom = 20260100;
    glngHistTo = 20260199;
    gblnIDSel = true;
    frmHist& f = frmHist::instance();
    f.show();
    return f;
  }
  // Clicks the photo button of data row `row` (from 0); the caption of the viewer that opened,
  // or "(none)".
  QString PressPhoto(frmHist& f, int row) {
    QString caption = QStringLiteral("(none)");
    QTableView* grid = f.fgHist;
    const QRect cell = grid->visualRect(grid->model()->index(row, HistGridModel::kImage));
    const QPoint at = f.cmdSend->ButtonRect(cell).center();
    WhenModal([&caption] {
      if (frmImg::IsLoaded()) caption = frmImg::instance().windowTitle();
      frmImg::Unload();
    });
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QApplication::processEvents();
    return caption;
  }
  // Answers the next save dialog with `path` (the empty text: cancels it); `offered` gets the
  // file the dialog was opened on.
  void SaveAs(const QString& path, QString* offered = nullptr) {
    SetSaveDialogHook([path, offered](QFileDialog& d) {
      if (offered) *offered = d.selectedFiles().value(0);
      if (path.isEmpty()) return int(QDialog::Rejected);
      d.selectFile(path);
      return int(QDialog::Accepted);
    });
  }
  QByteArray Read(const QString& path) const {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
  }
};

TEST_P(HistoryWindow, GridHidesItsColumnsAndOnlyRowsWithAPhotoOpenTheViewer) {
  folder_.AddMember("1001", "山田太郎");
  AddHist("1001", true, 20260105, "08:30:00", "20260105083000.jpg");
  AddHist("1001", false, 20260105, "17:00:00");
  AddHist("9999", true, 20260106, "08:00:00", "20260106080000.jpg");  // member deleted since
  frmHist& f = Open();
  EXPECT_EQ(f.windowTitle(), QStringLiteral("入退室履歴"));
  EXPECT_EQ(f.Grid().Count(), 3);
  EXPECT_TRUE(f.fgHist->isColumnHidden(HistGridModel::kHonorific));
  EXPECT_TRUE(f.fgHist->isColumnHidden(HistGridModel::kImgFile));
  EXPECT_FALSE(f.fgHist->isColumnHidden(HistGridModel::kImage));
  EXPECT_EQ(f.Grid().Text(0, HistGridModel::kImage), QStringLiteral("画像"));
  EXPECT_EQ(f.lngStartYM, 20260100);
  EXPECT_EQ(f.lngEndYM, 20260199);
  EXPECT_TRUE(boxes_.Boxes().empty());

  EXPECT_EQ(PressPhoto(f, 0), QStringLiteral("1001 山田太郎 入室 20260105"));
  EXPECT_EQ(glngImgRow, 0);
  EXPECT_EQ(PressPhoto(f, 1), QStringLiteral("(none)"));  // no photo named: the button is disabled
  EXPECT_EQ(PressPhoto(f, 2), QStringLiteral("9999  入室 20260106"));
  EXPECT_EQ(glngImgRow, 2);

  // The window's close clears the history mode.
  gintHistMode = 1;
  f.close();
  EXPECT_FALSE(frmHist::IsLoaded());
  EXPECT_EQ(gintHistMode, 0);
}

TEST_P(HistoryWindow, AnEmptyOrFailedQueryLeavesNoRowsAndNoButtons) {
  AddHist("1001", true, 20260105, "08:30:00", "20260105083000.jpg");
  frmHist& f = Open();
  ASSERT_EQ(f.Grid().Count(), 1);
  const QRect firstCell = f.fgHist->visualRect(f.fgHist->model()->index(0, HistGridModel::kImage));

  f.frmHist_default_fgHist(20250100, 20250199, 1, false);
  EXPECT_EQ(boxes_.Texts(), std::vector<QString>({"指定された履歴情報はありません。"}));
  EXPECT_EQ(boxes_.Boxes().back().title, QStringLiteral("処理の確認"));
  EXPECT_EQ(f.Grid().Count(), 0);
  EXPECT_EQ(f.lngStartYM, 20260100);  // the bounds of the last query that found rows
  EXPECT_FALSE(f.lblNow->isVisible());
  bool opened = false;
  WhenModal([&opened] {
    opened = frmImg::IsLoaded();
    frmImg::Unload();
  });
  QTest::mouseClick(f.fgHist->viewport(), Qt::LeftButton, {}, f.cmdSend->ButtonRect(firstCell).center());
  QApplication::processEvents();
  EXPECT_FALSE(opened);
  f.cmdSend_Click(0);
  EXPECT_FALSE(frmImg::IsLoaded());

  // A database that fails says so, and the grid shows nothing read.
  f.frmHist_default_fgHist(20260100, 20260199, 1, false);
  ASSERT_EQ(f.Grid().Count(), 1);
  ASSERT_TRUE(db::Execute(gcnDB(), QStringLiteral("DROP TABLE tblHist")));
  f.frmHist_default_fgHist(20260100, 20260199, 1, false);
  EXPECT_EQ(f.Grid().Count(), 0);
  ASSERT_EQ(boxes_.Boxes().size(), 2u);
  EXPECT_TRUE(boxes_.Boxes().back().text.startsWith(QStringLiteral("履歴情報の抽出に失敗しました。\n")));
  EXPECT_EQ(boxes_.Boxes().back().title, QStringLiteral("抽出エラー"));
  EXPECT_EQ(boxes_.Boxes().back().style, ui::vbCritical);
}

TEST_P(HistoryWindow, CsvExportWritesQuotedCp932LinesAndReplacesTheFileWhole) {
  gblnLog = true;
  folder_.AddMember("1001", "山田\"太郎\"");
  folder_.AddMember("1002", "Smith, John");
  AddHist("1001", true, 20260105, "08:30:00", "20260105083000.jpg");
  AddHist("1002", false, 20260105, "17:00:00");
  AddHist("9999", true, 20260106, "08:00:00");
  frmHist& f = Open();
  const QString path = folder_.Path() + "out/hist.csv";
  QDir().mkpath(folder_.Path() + "out");
  QString offered;
  SaveAs(path, &offered);
  f.cmdData_Click();
  const QByteArray expected = cp::ToAnsiLossy(
      "\"1001\",\"山田\"\"太郎\"\"\",\"入室\",\"20260105\",\"08:30:00\"\r\n"
      "\"1002\",\"Smith, John\",\"退室\",\"20260105\",\"17:00:00\"\r\n"
      "\"9999\",\"\",\"入室\",\"20260106\",\"08:00:00\"\r\n");
  EXPECT_EQ(Read(path), expected);
  EXPECT_EQ(boxes_.Texts(), std::vector<QString>({"CSVファイルの出力は終了しました。"}));
  EXPECT_FALSE(f.lblNow->isVisible());
  QFile log(gstrLogDir + "20260115.log");
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(cp::FromAnsi(log.readAll()).contains(QStringLiteral("履歴出力,成功")));

  // After a per-ID query the lines come grouped by ID; the dialog offers the same file again.
  f.frmHist_default_fgHist(20260100, 20260199, 0, false);
  f.cmdData_Click();
  EXPECT_EQ(QFileInfo(offered).fileName(), QStringLiteral("hist.csv"));
  EXPECT_TRUE(Read(path).startsWith(cp::ToAnsiLossy("\"1001\"")));
  EXPECT_TRUE(QDir(folder_.Path() + "out").entryList(QDir::Files) == QStringList({"hist.csv"}));

  // Cancelled: nothing written, nothing said.
  SaveAs(QString());
  const size_t shown = boxes_.Boxes().size();
  f.cmdData_Click();
  EXPECT_EQ(boxes_.Boxes().size(), shown);
}

// The save dialog as the administrator meets it: he names the file and presses Save. Replacing a
// file is asked once, in Japanese; Cancel keeps the file and ends the export.
TEST_P(HistoryWindow, ReplacingAnExportFileIsAskedOnceInJapanese) {
  folder_.AddMember("1001", "山田太郎");
  AddHist("1001", true, 20260105, "08:30:00");
  frmHist& f = Open();
  const QByteArray csv = cp::ToAnsiLossy("\"1001\",\"山田太郎\",\"入室\",\"20260105\",\"08:30:00\"\r\n");
  QStringList ownQuestions;  // questions the file dialog asked by itself
  auto saveAs = [&](const QString& path) {
    SetSaveDialogHook([&ownQuestions, path](QFileDialog& d) {
      QTimer::singleShot(0, &d, [&ownQuestions, &d, path] {
        QTimer watch;
        watch.setSingleShot(true);
        QObject::connect(&watch, &QTimer::timeout, [&ownQuestions] {
          if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ownQuestions << box->text();
            box->button(QMessageBox::Yes)->click();
          }
        });
        watch.start(0);
        d.selectFile(path);
        static_cast<QDialog&>(d).accept();  // the Save button
        watch.stop();
        if (d.isVisible()) d.reject();
      });
      return d.exec();
    });
  };

  // A new file: no question.
  const QString path = folder_.Path() + "twice.csv";
  saveAs(path);
  f.cmdData_Click();
  EXPECT_EQ(Read(path), csv);
  EXPECT_EQ(boxes_.Texts(), std::vector<QString>({"CSVファイルの出力は終了しました。"}));

  // The same file again, the question cancelled: the file stays as it was, nothing more is said.
  folder_.WriteBytes("twice.csv", "old contents");
  boxes_.Answer(ui::vbCancel);
  f.cmdData_Click();
  EXPECT_EQ(Read(path), QByteArray("old contents"));
  ASSERT_EQ(boxes_.Boxes().size(), 2u);
  EXPECT_EQ(boxes_.Boxes()[1].text, "twice.csv は既に存在します。\n上書きしますか?");
  EXPECT_EQ(boxes_.Boxes()[1].title, "名前を付けて保存の確認");
  EXPECT_EQ(boxes_.Boxes()[1].style, ui::vbOKCancel + ui::vbExclamation);

  // Confirmed: replaced, after the one question.
  f.cmdData_Click();
  EXPECT_EQ(Read(path), csv);
  EXPECT_EQ(boxes_.Texts().size(), 4u);
  EXPECT_EQ(boxes_.Texts().back(), "CSVファイルの出力は終了しました。");
  EXPECT_TRUE(ownQuestions.isEmpty()) << ownQuestions.join(" / ").toStdString();
}

// A name CP932 cannot hold: each such character (an emoji is one, though two UTF-16 units) is
// written as one "?", the export completes and its end message names the rows; every other row
// keeps its CP932 bytes.
TEST_P(HistoryWindow, ACharacterOutsideCp932IsExportedAsAQuestionMarkAndTheRowsAreNamed) {
  folder_.AddMember("1001", "～①髙");
  folder_.AddMember("1002", "😀花子");
  folder_.AddMember("1003", "𠮷田");
  AddHist("1001", true, 20260105, "08:30:00");
  AddHist("1002", true, 20260105, "09:00:00");
  AddHist("1003", false, 20260105, "17:00:00");
  frmHist& f = Open();
  const QString path = folder_.Path() + "hist.csv";
  SaveAs(path);
  f.cmdData_Click();
  EXPECT_EQ(Read(path), QByteArray("\"1001\",\"\x81\x60\x87\x40\xFB\xFC\",\"\x93\xFC\x8E\xBA\",\"20260105\",\"08:30:00\"\r\n") +
                            cp::ToAnsiLossy("\"1002\",\"?花子\",\"入室\",\"20260105\",\"09:00:00\"\r\n"
                                            "\"1003\",\"?田\",\"退室\",\"20260105\",\"17:00:00\"\r\n"));
  EXPECT_EQ(boxes_.Texts(), std::vector<QString>({"CSVファイルの出力は終了しました。\n"
                                                  "出力できない文字を「?」に置き換えました（2、3行目）。"}));
}

TEST_P(HistoryWindow, ExportFailuresAreReportedAndLeaveNoPartialFile) {
  folder_.AddMember("1001", "山田太郎");
  AddHist("1001", true, 20260105, "08:30:00");
  frmHist& f = Open();
  folder_.WriteBytes("hist.csv", "old contents");

  const QString unwritable = folder_.Path() + "missing-folder/hist.csv";
  SaveAs(unwritable);
  f.cmdData_Click();
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  // The box names the file and why it was not written.
  EXPECT_TRUE(boxes_.Boxes()[0].text.startsWith(QStringLiteral("CSVファイルの出力に失敗しました。出力先を確認してください。\n")));
  EXPECT_TRUE(boxes_.Boxes()[0].text.endsWith("/missing-folder/hist.csv: " + QString::fromLocal8Bit(std::strerror(ENOENT))))
      << boxes_.Boxes()[0].text.toStdString();
  EXPECT_EQ(boxes_.Boxes()[0].title, QStringLiteral("出力エラー"));
  EXPECT_EQ(boxes_.Boxes()[0].style, ui::vbCritical);
  EXPECT_FALSE(QFileInfo::exists(unwritable));
  EXPECT_TRUE(QDir(folder_.Path()).entryList({"hist.csv*"}, QDir::Files) == QStringList({"hist.csv"}));

  // A full disk: told and logged as a failure, and no file, not even an empty one, is left.
  testsupport::SmallDisk disk(64 << 10);
  if (disk.Mounted()) {
    gblnLog = true;
    disk.Fill();
    SaveAs(disk.Path() + "hist.csv");
    f.cmdData_Click();
    EXPECT_TRUE(boxes_.Texts().back().startsWith(QStringLiteral("CSVファイルの出力に失敗しました。")));
    EXPECT_TRUE(boxes_.Texts().back().endsWith(QString::fromLocal8Bit(std::strerror(ENOSPC))));
    EXPECT_TRUE(QDir(disk.Path()).entryList(QDir::Files).isEmpty());
    QFile log(gstrLogDir + "20260115.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(cp::FromAnsi(log.readAll()).endsWith(QStringLiteral("履歴出力,失敗\r\n")));
  }

  // An empty grid is never exported.
  f.frmHist_default_fgHist(20250100, 20250199, 1, false);
  f.cmdData_Click();
  EXPECT_EQ(boxes_.Texts().back(), QStringLiteral("対象データがありません。"));
}

TEST_P(HistoryWindow, ViewerShowsThePhotoStretchedOrThePlaceholder) {
  folder_.AddMember("1001", "山田太郎");
  AddHist("1001", true, 20260105, "08:30:00", "big.jpg");
  AddHist("1001", false, 20260105, "17:00:00", "gone.jpg");
  AddHist("1001", true, 20260106, "08:00:00", "broken.jpg");
  WritePicture("ScanData/big.jpg", 640, 480, Qt::red);
  folder_.WriteBytes("ScanData/broken.jpg", QByteArrayLiteral("\xFF\xD8\xFF\xE0 not really a JPEG"));
  Open();
  const QImage placeholder = frmImg::Placeholder().toImage();

  glngImgRow = 0;
  frmImg& shown = frmImg::instance();
  EXPECT_EQ(shown.windowTitle(), QStringLiteral("1001 山田太郎 入室 20260105"));
  EXPECT_EQ(shown.imgScan->size(), QSize(320, 240));
  EXPECT_TRUE(shown.imgScan->Stretch());
  EXPECT_EQ(shown.imgScan->Picture().size(), QSize(640, 480));
  const QImage drawn = shown.imgScan->grab().toImage();
  EXPECT_EQ(drawn.size(), QSize(320, 240));
  EXPECT_EQ(QColor(drawn.pixel(310, 230)).red() > 200, true);
  frmImg::Unload();

  for (int row : {1, 2}) {
    glngImgRow = row;
    frmImg& f = frmImg::instance();
    EXPECT_EQ(f.imgScan->Picture().toImage(), placeholder) << row;
    frmImg::Unload();
  }
  EXPECT_TRUE(boxes_.Boxes().empty());
}

}  // namespace
VELMOR_ON_BOTH_DRIVERS(HistoryWindow);

}  // namespace historytest
