// The printing as the administrator reaches it: the settings window's card button (the member
// table saved first, then the card sheets through the print and selection window), its history
// button, and the history window's two report buttons.
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "admin/frmSet.h"
#include "codepage/codepage.h"
#include "common/MemberRoster.h"
#include "common/PictureBox.h"
#include "common/WindowHome.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "db/db.h"
#include "history/frmHist.h"
#include "history/frmPrint.h"
#include "printing_fixture.h"
#include "ui/clock.h"
#include "ui/msgbox.h"

namespace {

class PrintWindows : public PrintingTest {
 protected:
  void SetUp() override {
    PrintingTest::SetUp();
    ui::SetClock([] { return QDateTime(QDate(2026, 6, 15), QTime(9, 0, 0)); });
    folder.WriteSettings();
    QString error;
    ASSERT_TRUE(LoadSettings(&error)) << error.toStdString();
    QImage logo(200, 100, QImage::Format_RGB32);
    logo.fill(Qt::darkBlue);
    ASSERT_TRUE(logo.save(gstrLogoFile, "JPG")) << gstrLogoFile.toStdString();
    folder.CreateDatabase();
    folder.AddMember("1001", "山田太郎");
    folder.AddMember("1002", "佐藤花子");
  }
  void TearDown() override {
    windows::UnloadAll();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ui::SetClock({});
    PrintingTest::TearDown();
  }
  QStringList LogLines() const {
    QFile f(folder.Path() + "log/20260615.log");
    return f.open(QIODevice::ReadOnly) ? cp::FromAnsi(f.readAll()).split("\r\n", Qt::SkipEmptyParts)
                                       : QStringList();
  }
  // Runs `act` in the next modal window's loop (which must end that window).
  static void WhenModal(std::function<void()> act) { QTimer::singleShot(0, std::move(act)); }
};

TEST_F(PrintWindows, TheCardButtonSavesTheTableAndPrintsTheTickedMembersCards) {
  frmSet& set = frmSet::instance();
  set.show();
  set.frmSet_cmdData_Click();  // the member table
  ASSERT_EQ(MemberRoster::Shared().Count(), 2);
  // An edit not saved yet reaches the card: the table is saved before the cards are printed.
  RosterMember renamed = MemberRoster::Shared().At(1);
  renamed.name = "佐藤はな";
  MemberRoster::Shared().Replace(1, renamed);
  MemberRoster::Shared().SetTicked(1, true);

  bool opened = false;
  WhenModal([&] {
    ASSERT_TRUE(frmPrint::IsLoaded());
    frmPrint& print = frmPrint::instance();
    opened = print.mode() == frmPrint::Mode::Card;
    print.chkChkBox->click();
    boxes.Answer(ui::vbOK);  // "選択データを印刷します。"
    print.cmdPrint->click();
    if (frmPrint::IsLoaded()) frmPrint::instance().cmdCancel->click();  // a failed job leaves it open
  });
  set.frmSet_cmdPrint_Click();
  EXPECT_TRUE(opened);
  EXPECT_FALSE(frmPrint::IsLoaded());
  ASSERT_EQ(Jobs().size(), 1);
  const QString text = testsupport::PdfText(Jobs()[0]);
  EXPECT_TRUE(text.contains("佐藤はな")) << text.toStdString();
  EXPECT_FALSE(text.contains("山田太郎"));
  ASSERT_FALSE(boxes.Boxes().empty());
  EXPECT_EQ(boxes.Boxes().back().text, "印刷は終了しました。");
  EXPECT_TRUE(LogLines().last().endsWith("カード印刷,成功")) << LogLines().join('\n').toStdString();
}

// The cards carry the installation name being edited, and the selection window shows the logo
// file being edited when it exists; neither need be saved first.
TEST_F(PrintWindows, CardsAndTheWindowShowTheSettingsBeingEdited) {
  frmSet& set = frmSet::instance();
  set.show();
  set.frmSet_cmdData_Click();
  const QString savedName = gstrAppUser;
  const QString edited = folder.Path() + "image/edited.png";
  QImage green(100, 200, QImage::Format_RGB32);
  green.fill(Qt::green);
  ASSERT_TRUE(green.save(edited, "PNG"));

  // Prints the card of member 1002 with the fields as they stand; the colour in the middle of
  // the window's logo.
  auto printCard = [&](const QString& name, const QString& logo) {
    set.txtAppUser->setText(name);
    set.txtLogoFile->setText(logo);
    QColor shown;
    WhenModal([&] {
      frmPrint& print = frmPrint::instance();
      const QImage picture = print.imgLogo->Picture().toImage();
      shown = picture.isNull() ? QColor() : picture.pixelColor(picture.width() / 2, picture.height() / 2);
      print.txtIDStart->setText("1002");
      print.txtIDEnd->setText("1002");
      print.cmdPrint->click();
      if (frmPrint::IsLoaded()) frmPrint::instance().cmdCancel->click();
    });
    set.frmSet_cmdPrint_Click();
    return shown;
  };
  const QColor shown = printCard("東町分館", edited);
  EXPECT_GT(shown.green(), 200);
  EXPECT_LT(shown.blue(), 60);
  ASSERT_EQ(Jobs().size(), 1);
  QString text = testsupport::PdfText(Jobs()[0]);
  EXPECT_TRUE(text.contains("東町分館")) << text.toStdString();
  EXPECT_FALSE(savedName.isEmpty() || text.contains(savedName));
  EXPECT_EQ(gstrAppUser, savedName);  // nothing was saved

  // A logo field naming no file shows the program folder's logo.
  const QColor fallback = printCard("西町分館", folder.Path() + "image/gone.png");
  EXPECT_GT(fallback.blue(), 100);
  EXPECT_LT(fallback.green(), 60);
  ASSERT_EQ(Jobs().size(), 1);
  text = testsupport::PdfText(Jobs()[0]);
  EXPECT_TRUE(text.contains("西町分館")) << text.toStdString();
}

TEST_F(PrintWindows, WithoutMembersNeitherCardsNorHistoryOpen) {
  db::Execute(gcnDB(), "DELETE FROM tblData");
  frmSet& set = frmSet::instance();
  set.show();
  set.frmSet_cmdData_Click();
  set.frmSet_cmdHist_Click();
  set.frmSet_cmdPrint_Click();
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  for (const auto& box : boxes.Boxes()) {
    EXPECT_EQ(box.text, "対象データがありません。");
    EXPECT_EQ(box.title, "処理の確認");
  }
  EXPECT_FALSE(frmPrint::IsLoaded());
  EXPECT_EQ(dialogs, 0);
}

TEST_F(PrintWindows, TheHistoryWindowPrintsItsRowsPerDayAndPerMember) {
  for (const auto& [id, entry, time] : {std::tuple{"1001", true, "09:00:00"}, {"1002", true, "09:10:00"},
                                        {"1001", false, "17:00:00"}})
    db::Execute(gcnDB(), "INSERT INTO tblHist (ID, IOName, inDate, inTime, imgFile) VALUES (?,?,?,?,?)",
                {id, entry ? "入室" : "退室", 20260610, time, QString("")});
  glngHistFrom = 20260600;
  glngHistTo = 20260699;
  gblnIDSel = true;
  glngIDCount = 0;
  int printed = 0;
  WhenModal([&] {
    frmHist& hist = frmHist::instance();
    hist.cmdDayPrn->click();
    printed = Jobs().size();
    hist.cmdPrint->click();
    hist.cmdCancel->click();
  });
  frmHist::instance().ShowModal();
  ASSERT_EQ(printed, 1);  // the day report
  ASSERT_EQ(Jobs().size(), 2);  // then a run of one job per member
  EXPECT_TRUE(testsupport::PdfText(Jobs()[0]).contains("山田太郎"));
  EXPECT_TRUE(testsupport::PdfText(Jobs()[1]).contains("佐藤花子"));
}

}  // namespace
