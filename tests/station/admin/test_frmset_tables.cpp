// The settings window's tables: switching, editing in place, deleting, saving, the search.
#include "admin_fixture.h"
#include "support/support_postgres.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "admin/TableModels.h"
#include "admin/frmMContents.h"
#include "admin/frmSearch.h"
#include "common/MemberRoster.h"
#include "common/globals.h"
#include "common/mdlVelmor.h"
#include "db/db.h"
#include "ui/msgbox.h"

namespace admintest {
namespace {

using MC = MemberTableModel;

class FrmSetTablesBase : public AdminTest {
 protected:
  // Three members (IDs 101, 102, 103) and two greetings, the member table on screen.
  void OpenWithMembers() {
    Prepare();
    folder_.AddMember("101", "青木", "さま", "あおき", "aoki@ex.jp");
    folder_.AddMember("102", "井上", "くん", "いのうえ", "");
    folder_.AddMember("103", "上田", "さん", "うえだ", "ueda@ex.jp");
    AddGreeting("ようこそ", true);
    AddGreeting("またね", false);
    Open();
    ShowMembers();
  }
  MemberRoster& Roster() { return MemberRoster::Shared(); }
};

// The tables on both drivers.
class FrmSetTables : public FrmSetTablesBase, public ::testing::WithParamInterface<testsupport::Driver> {
 protected:
  void SetUp() override {
    folder_.SetDriver(GetParam());
    FrmSetTablesBase::SetUp();
  }
};
VELMOR_ON_BOTH_DRIVERS(FrmSetTables);

// The database made to refuse one row through a trigger of SQLite's own words.
using FrmSetTablesWithTrigger = FrmSetTablesBase;
// The grid on screen, whatever the database.
using FrmSetGrid = FrmSetTablesBase;

TEST_P(FrmSetTables, OpensOnTheMessagesAndSwitchesBySavingOneAndLoadingTheOther) {
  Prepare();
  folder_.AddMember("101", "青木");
  AddGreeting("ようこそ", true);
  AddGreeting("またね", false);
  frmSet& f = Open();
  EXPECT_TRUE(f.fgMessage->isVisible());
  EXPECT_FALSE(f.fgData->isVisible());
  EXPECT_FALSE(f.cmdSearch->isVisible());
  EXPECT_EQ(f.cmdData->text(), "データを表示");
  ASSERT_EQ(f.MessageModel().rowCount(), 3);  // two greetings and the empty row
  EXPECT_TRUE(f.MessageModel().Entry(0));
  EXPECT_FALSE(f.MessageModel().Entry(1));

  // A greeting typed into the empty row, ticked as an entry greeting, is saved by the switch.
  TypeInto(2, 0, "こんにちは");
  EXPECT_EQ(f.MessageModel().rowCount(), 4);
  f.MessageModel().SetEntry(2, true);
  f.frmSet_cmdData_Click();
  EXPECT_TRUE(f.fgData->isVisible());
  EXPECT_TRUE(f.cmdSearch->isVisible());
  EXPECT_EQ(f.cmdData->text(), "ﾒｯｾｰｼﾞを表示");
  ASSERT_TRUE(Roster().Loaded());
  EXPECT_EQ(Roster().At(0).name, "青木");
  EXPECT_EQ(f.MemberModel().rowCount(), 2);
  EXPECT_EQ(StoredGreetings().size(), 3u);
  EXPECT_EQ(StoredGreetings()[2], (std::pair<QString, int>("こんにちは", -1)));

  // An empty greeting keeps the table on screen with the row's message.
  f.frmSet_cmdData_Click();
  TypeInto(1, 0, "x", Qt::Key_Return);
  f.fgMessage->setCurrentIndex(f.MessageModel().index(1, 0));
  QTest::keyClick(f.fgMessage, Qt::Key_Backspace);
  QTest::keyClick(f.inputTxt, Qt::Key_Return);
  f.frmSet_cmdData_Click();
  ASSERT_FALSE(boxes_.Boxes().empty());
  EXPECT_EQ(boxes_.Boxes().back().text, "2行目のメッセージに入力がありません。");
  EXPECT_EQ(boxes_.Boxes().back().title, "登録内容の確認");
  EXPECT_EQ(boxes_.Boxes().back().style, ui::vbCritical);
  EXPECT_TRUE(f.MessagesOnScreen());
  EXPECT_EQ(StoredGreetings().size(), 3u);
}

TEST_P(FrmSetTables, EditorKeysCommitRestoreAndAppendOneRow) {
  OpenWithMembers();
  frmSet& f = Window();
  MC& m = f.MemberModel();

  // Esc after typing in the empty row restores and appends nothing.
  TypeInto(3, MC::ColId, "999", Qt::Key_Escape);
  EXPECT_EQ(Roster().Count(), 3);
  EXPECT_FALSE(f.inputTxt->isVisible());

  // A commit in the empty row makes a member of it, dated today when it has no address.
  TypeInto(3, MC::ColId, "１０４");
  ASSERT_EQ(Roster().Count(), 4);
  EXPECT_EQ(m.rowCount(), 5);
  EXPECT_EQ(Roster().At(3).id, "１０４");
  EXPECT_EQ(Roster().At(3).date, "2026/06/15");
  TypeInto(3, MC::ColName, "江藤", Qt::Key_Tab);
  EXPECT_EQ(Roster().At(3).name, "江藤");
  EXPECT_EQ(Roster().Count(), 4);

  // A commit on a member without an address keeps the date he has.
  TypeInto(1, MC::ColKana, "いのうえ２");
  EXPECT_EQ(Roster().At(1).date, "2026/04/01");

  // Backspace opens the editor empty: Esc keeps the text, Enter empties the cell.
  f.fgData->setCurrentIndex(m.index(0, MC::ColName));
  QTest::keyClick(f.fgData, Qt::Key_Backspace);
  EXPECT_TRUE(f.inputTxt->isVisible());
  EXPECT_EQ(f.inputTxt->text(), "");
  QTest::keyClick(f.inputTxt, Qt::Key_Escape);
  EXPECT_EQ(Roster().At(0).name, "青木");
  QTest::keyClick(f.fgData, Qt::Key_Backspace);
  QTest::keyClick(f.inputTxt, Qt::Key_Return);
  EXPECT_EQ(Roster().At(0).name, "");

  // A double-click edits the cell's text only while the member table may be updated so.
  f.fgData->setCurrentIndex(m.index(2, MC::ColName));
  gblnUserUpdate = false;
  f.fgGrid_DblClick(f.fgData);
  EXPECT_FALSE(f.inputTxt->isVisible());
  gblnUserUpdate = true;
  f.fgGrid_DblClick(f.fgData);
  ASSERT_TRUE(f.inputTxt->isVisible());
  EXPECT_EQ(f.inputTxt->text(), "上田");
  f.inputTxt->insert("様");
  // Losing the focus commits, once.
  f.cmdOK->setFocus();
  EXPECT_EQ(Roster().At(2).name, "上田様");
  EXPECT_EQ(Roster().Count(), 4);
}

TEST_F(FrmSetGrid, TheEditorStaysOverItsCellInsideTheGrid) {
  Prepare();
  for (int i = 1; i <= 30; ++i) folder_.AddMember(QString::number(261200000 + i), "会員");
  frmSet& f = Open();
  ShowMembers();
  MC& m = f.MemberModel();
  QWidget* viewport = f.fgData->viewport();
  auto inView = [&](const QRect& r) {
    return QRect(viewport->mapTo(&f, QPoint(0, 0)), viewport->size()).contains(r);
  };
  auto editorInView = [&] {
    return f.inputTxt->isVisible() && inView(f.inputTxt->geometry()) &&
           f.inputTxt->geometry().center() ==
               QRect(viewport->mapTo(&f, f.fgData->visualRect(f.fgData->currentIndex()).topLeft()),
                     f.fgData->visualRect(f.fgData->currentIndex()).size()).center();
  };
  f.fgData->scrollToBottom();
  ASSERT_LT(viewport->height(), 30 * f.fgData->rowHeight(0)) << "the grid shows every row";

  // A new member's ID committed in the empty last row, with Enter and with Tab: the current cell
  // stays on it, and the next key edits it where it is.
  for (Qt::Key end : {Qt::Key_Return, Qt::Key_Tab}) {
    const int row = m.LastRow();
    TypeInto(row, MC::ColId, "261200099", end);
    ASSERT_EQ(m.LastRow(), row + 1);
    EXPECT_EQ(f.fgData->currentIndex(), m.index(row, MC::ColId));
    QTest::keyClick(f.fgData, Qt::Key_5);
    EXPECT_TRUE(editorInView()) << f.inputTxt->geometry().y() << " " << viewport->height();
    QTest::keyClick(f.inputTxt, Qt::Key_Escape);
    EXPECT_EQ(m.Text(row, MC::ColId), "261200099");
    m.SetText(row, MC::ColId, QString::number(261200100 + row));
  }
  // A current cell scrolled out of view: the grid brings it back before the editor opens.
  f.fgData->setCurrentIndex(m.index(0, MC::ColName));
  f.fgData->scrollToBottom();
  QTest::keyClick(f.fgData, Qt::Key_A);
  EXPECT_TRUE(editorInView());
  QTest::keyClick(f.inputTxt, Qt::Key_Escape);
}

TEST_F(FrmSetGrid, TheIdColumnShowsNineDigits) {
  Prepare();
  folder_.AddMember("261200001", "青木");
  frmSet& f = Open();
  ShowMembers();
  // The widest nine digits of the grid's font, with the margins the cell keeps around its text.
  int digits = 0;
  for (char d = '0'; d <= '9'; ++d)
    digits = std::max(digits, f.fgData->fontMetrics().horizontalAdvance(QString(9, QLatin1Char(d))));
  const int margins = 2 * (f.fgData->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, f.fgData) + 1) + 1;
  EXPECT_GE(f.fgData->columnWidth(MC::ColId), digits + margins);
  EXPECT_GE(f.fgData->columnWidth(MC::ColId), f.fgData->fontMetrics().horizontalAdvance("123456789") + margins);
  // The other columns keep their widths.
  EXPECT_EQ(f.fgData->columnWidth(MC::ColName), TwipsToPixelsX(1750));
}

TEST_P(FrmSetTables, TicksFollowTheirMembersThroughDeletionsAndSaves) {
  OpenWithMembers();
  frmSet& f = Window();
  MC& m = f.MemberModel();
  m.setData(m.index(2, MC::ColPick), Qt::Checked, Qt::CheckStateRole);
  EXPECT_EQ(Roster().TickedIds(), QStringList{"103"});

  // Whole rows down to the empty last row: the last data row stays, Cancel changes nothing.
  SelectRows(0, 0);
  boxes_.Answer(ui::vbCancel);
  QTest::keyClick(f.fgData, Qt::Key_Delete);
  EXPECT_EQ(Roster().Count(), 3);
  EXPECT_EQ(boxes_.Boxes().back().text, "選択行を削除します。");
  QTest::keyClick(f.fgData, Qt::Key_Delete);
  ASSERT_EQ(Roster().Count(), 2);
  EXPECT_EQ(Roster().TickedIds(), QStringList{"103"});
  EXPECT_EQ(Roster().TickedRows(), std::vector<int>{1});
  EXPECT_EQ(m.data(m.index(1, MC::ColPick), Qt::CheckStateRole), Qt::Checked);

  // Whole rows starting on the empty last row only offer to clear.
  SelectRows(2, 2);
  QTest::keyClick(f.fgData, Qt::Key_Delete);
  EXPECT_EQ(boxes_.Boxes().back().text, "選択範囲をクリアします。");
  EXPECT_EQ(Roster().Count(), 2);

  // A range over name to tick clears the texts and leaves the tick.
  f.fgData->setCurrentIndex(m.index(1, MC::ColKana));
  f.fgData->selectionModel()->select(QItemSelection(m.index(1, MC::ColKana), m.index(1, MC::ColPick)),
                                     QItemSelectionModel::ClearAndSelect);
  QTest::keyClick(f.fgData, Qt::Key_Delete);
  EXPECT_EQ(Roster().At(1).kana, "");
  EXPECT_EQ(Roster().At(1).mailAddr, "");
  EXPECT_EQ(Roster().At(1).name, "上田");
  EXPECT_TRUE(Roster().At(1).ticked);

  // The save refuses the emptied kana, then deletes the member removed from the table.
  EXPECT_EQ(f.frmSet_SaveMembers(), "2行目のかながありません。");
  Roster().Replace(1, [&] { RosterMember r = Roster().At(1); r.kana = "うえだ"; return r; }());
  EXPECT_EQ(f.frmSet_SaveMembers(), "");
  ASSERT_EQ(StoredMembers().size(), 2u);
  EXPECT_EQ(StoredMembers()[0].id, "102");
  EXPECT_EQ(Roster().TickedIds(), QStringList{"103"});
}

TEST_P(FrmSetTables, MessageRowsTakeTheirEntryTicksAlongAndAClearedTickCellUnticks) {
  Prepare();
  AddGreeting("a", true);
  AddGreeting("b", false);
  AddGreeting("c", false);
  frmSet& f = Open();
  MessageTableModel& m = f.MessageModel();
  m.SetEntry(2, true);
  SelectRows(0, 1);
  QTest::keyClick(f.fgMessage, Qt::Key_Delete);
  ASSERT_EQ(m.DataRows(), 1);
  EXPECT_EQ(m.Text(0, 0), "c");
  EXPECT_TRUE(m.Entry(0));
  SelectRows(0, 0);
  f.fgMessage->setCurrentIndex(m.index(0, 0));
  f.fgMessage->selectionModel()->select(QItemSelection(m.index(0, 0), m.index(1, 1)), QItemSelectionModel::ClearAndSelect);
  QTest::keyClick(f.fgMessage, Qt::Key_Delete);  // from the data row: a range, not whole rows
  EXPECT_EQ(boxes_.Boxes().back().text, "選択行を削除します。");
  EXPECT_EQ(m.DataRows(), 0);
}

TEST_F(FrmSetTablesWithTrigger, AFailureInTheMiddleOfASaveLeavesBothTablesAsTheyWere) {
  OpenWithMembers();
  frmSet& f = Window();
  // The database refuses the third row's write.
  ASSERT_TRUE(db::Execute(gcnDB(), "CREATE TRIGGER refuse BEFORE UPDATE ON tblData WHEN NEW.UserName = '拒否' "
                                   "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
  ASSERT_TRUE(db::Execute(gcnDB(), "CREATE TRIGGER refuse2 BEFORE INSERT ON tblMessage WHEN NEW.Message = '拒否' "
                                   "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
  const auto before = StoredMembers();
  MC& m = f.MemberModel();
  m.SetText(0, MC::ColName, "変更");
  m.SetText(2, MC::ColName, "拒否");
  SelectRows(1, 1);
  QTest::keyClick(f.fgData, Qt::Key_Delete);  // 102 removed
  ASSERT_EQ(Roster().Count(), 2);
  const QString error = f.frmSet_SaveMembers();
  EXPECT_TRUE(error.startsWith("2行目を保存できませんでした。")) << error.toStdString();
  const auto after = StoredMembers();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].name, before[i].name);
  EXPECT_EQ(Roster().At(0).name, "変更");  // the edits stay on screen

  // The window shows the failure and stays on the member table.
  f.frmSet_cmdOK_Click();
  EXPECT_TRUE(frmSet::IsLoaded());
  EXPECT_EQ(boxes_.Boxes().back().title, "登録内容の確認");
  m.SetText(1, MC::ColName, "上田");
  f.frmSet_cmdData_Click();
  ASSERT_TRUE(f.MessagesOnScreen());
  EXPECT_EQ(StoredMembers().size(), 2u);

  // The same for the greetings.
  f.MessageModel().SetText(0, 0, "拒否");
  EXPECT_TRUE(f.frmSet_SaveMessages().startsWith("1行目のメッセージを保存できませんでした。"));
  EXPECT_EQ(StoredGreetings().size(), 2u);
  EXPECT_EQ(StoredGreetings()[0].first, "ようこそ");
}

TEST_P(FrmSetTables, ATableThatDidNotLoadIsNeverSaved) {
  OpenWithMembers();
  frmSet& f = Window();
  f.frmSet_cmdData_Click();
  ASSERT_TRUE(db::Execute(gcnDB(), "ALTER TABLE tblData RENAME TO tblDataAway"));
  f.frmSet_cmdData_Click();
  EXPECT_EQ(boxes_.Boxes().back().title, "ロードエラー");
  EXPECT_TRUE(boxes_.Boxes().back().text.startsWith("登録データを読み込めませんでした。"));
  EXPECT_FALSE(Roster().Loaded());
  ASSERT_TRUE(db::Execute(gcnDB(), "ALTER TABLE tblDataAway RENAME TO tblData"));
  // Nothing can be typed into it, its save refuses, and switching away writes nothing.
  TypeInto(0, MC::ColId, "5");
  EXPECT_EQ(Roster().Count(), 0);
  EXPECT_EQ(f.frmSet_SaveMembers(), "登録データを読み込めていないため、保存できません。");
  f.frmSet_cmdData_Click();
  EXPECT_EQ(StoredMembers().size(), 3u);
  f.frmSet_cmdData_Click();
  EXPECT_EQ(Roster().Count(), 3);
}

TEST_P(FrmSetTables, SearchTakesTheRowNumberThenTheIdThenTheName) {
  OpenWithMembers();
  frmSet& f = Window();
  for (int i = 0; i < 60; ++i)
    Roster().Insert(Roster().Count(), [i] {
      RosterMember r;
      r.id = QString::number(500 + i);
      r.name = i == 40 ? "上田二郎" : "その他";
      return r;
    }());
  EXPECT_EQ(frmSearch::fgDataSearch("103", "青木"), 3);
  EXPECT_EQ(frmSearch::fgDataSearch("999", "青木"), 0);  // an unmatched ID ignores the name
  EXPECT_EQ(frmSearch::fgDataSearch("", "上田"), 3);     // the uppermost of several
  EXPECT_EQ(frmSearch::fgDataSearch("", "二郎"), 44);

  auto search = [](const QString& id, const QString& name, const QString& no) {
    frmSearch& s = frmSearch::instance();
    s.txtID->setText(id);
    s.txtName->setText(name);
    s.txtNo->setText(no);
    s.cmdSerach_Click();
  };
  struct Refusal {
    QString no, message;
  } refusals[] = {{"", "条件を指定してください"},
                  {"x", "行番号は数字で指定してください"},
                  {"0", "行番号は1以上で指定してください"},
                  {"-3", "行番号は1以上で指定してください"},
                  {"64", "指定された行番号のデータはありません"}};
  for (const Refusal& r : refusals) {
    search("", "", r.no);
    EXPECT_EQ(boxes_.Boxes().back().text, r.message) << r.no.toStdString();
    EXPECT_EQ(boxes_.Boxes().back().title, "入力の確認");
    EXPECT_TRUE(frmSearch::IsLoaded());
  }

  // The row number wins over the ID; the table scrolls it to the top.
  search("101", "", "２０");
  EXPECT_FALSE(frmSearch::IsLoaded());
  EXPECT_EQ(f.fgData->rowAt(0), 19);
  // A full-width ID is found; a miss keeps the window open.
  search("１０２", "", "");
  EXPECT_EQ(f.fgData->rowAt(0), 1);
  search("", "なし", "");
  EXPECT_EQ(boxes_.Boxes().back().text, "指定されたデータは見つかりません");
  EXPECT_TRUE(frmSearch::IsLoaded());
  EXPECT_EQ(frmSearch::instance().txtName->text(), "なし");
}

TEST_P(FrmSetTables, TheSendButtonOfARowNamesItsRow) {
  OpenWithMembers();
  frmSet& f = Window();
  // The button opens the contact mail composer for its row (a row with an address).
  const QRect cell = f.fgData->visualRect(f.MemberModel().index(2, MC::ColSend));
  int rowWhileOpen = 0;
  QTimer::singleShot(0, [&] {
    rowWhileOpen = frmMContents::IsLoaded() ? glngSendRow : -1;
    frmMContents::Unload();
  });
  QTest::mouseClick(f.fgData->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(rowWhileOpen, 3);
  const QRect tick = f.fgData->visualRect(f.MemberModel().index(2, MC::ColPick));
  QTest::mouseClick(f.fgData->viewport(), Qt::LeftButton, {}, tick.center());
  EXPECT_EQ(Roster().TickedIds(), QStringList{"103"});
}

TEST_P(FrmSetTables, FiveThousandMembersLoadEditAndSave) {
  Prepare();
  for (int i = 0; i < 5000; ++i)
    ASSERT_TRUE(db::Execute(gcnDB(), "INSERT INTO tblData (ID, UserName, UserAdd, NameKana, MailName, MailAddr, "
                                     "\"Date\") VALUES (?, ?, 'さま', 'かな', '', '', '2026/01/01')",
                            {QString::number(100000 + i), QStringLiteral("会員%1").arg(i)}));
  Open();
  ShowMembers();
  frmSet& f = Window();
  ASSERT_EQ(Roster().Count(), 5000);
  f.frmSet_ShowMemberRow(4000);
  TypeInto(3999, MC::ColName, "書き換え");
  TypeInto(5000, MC::ColId, "999999999");
  f.MemberModel().SetText(5000, MC::ColName, "新人");
  f.MemberModel().SetText(5000, MC::ColHonorific, "さま");
  f.MemberModel().SetText(5000, MC::ColKana, "しんじん");
  SelectRows(10, 19);
  QTest::keyClick(f.fgData, Qt::Key_Delete);
  EXPECT_EQ(f.frmSet_SaveMembers(), "");
  const auto stored = StoredMembers();
  ASSERT_EQ(stored.size(), 4991u);
  EXPECT_EQ(stored[3989].name, "書き換え");
  EXPECT_EQ(stored.back().id, "999999999");
}

}  // namespace
}  // namespace admintest
