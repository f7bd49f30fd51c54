// The print and selection window as the history filter, opened as the settings window's history
// button opens it; and the checks of its card mode.
#include "history_fixture.h"
#include "support/support_postgres.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "common/Navigation.h"
#include "common/PictureBox.h"
#include "history/HistGridModel.h"
#include "common/globals.h"
#include "history/frmHist.h"
#include "history/frmPrint.h"
#include "ui/msgbox.h"

namespace historytest {
namespace {

struct Seen {
  bool histOpened = false;
  int from = 0, to = 0, count = -1;
  bool idSel = false;
  QStringList ids;
  int rows = -1;
};

class HistoryFilterTest : public HistoryTest, public ::testing::WithParamInterface<testsupport::Driver> {
 protected:
  void SetUp() override {
    folder_.SetDriver(GetParam());
    HistoryTest::SetUp();
  }

  // Opens the filter as the history button does; `whileOpen` runs inside its modal loop and must
  // end it (press a button, or unload it).
  void OpenFilter(const std::function<void(frmPrint&)>& whileOpen) {
    WhenModal([whileOpen] {
      ASSERT_TRUE(frmPrint::IsLoaded());
      whileOpen(frmPrint::instance());
      frmPrint::Unload();
    });
    ASSERT_TRUE(nav::Open(nav::Window::HistoryFilter));
    QApplication::processEvents();
  }
  // Presses 実行 with the fields as given; what the history window saw as it opened.
  Seen Run(frmPrint& f, const QString& start, const QString& end, bool chosen) {
    Seen seen;
    f.txtIDStart->setText(start);
    f.txtIDEnd->setText(end);
    f.chkChkBox->setChecked(chosen);
    WhenModal([&seen] {
      if (!frmHist::IsLoaded()) return;
      seen = {true, glngHistFrom, glngHistTo, glngIDCount, gblnIDSel, gstrIDList, frmHist::instance().Grid().Count()};
      frmHist::Unload();
    });
    QTest::mouseClick(f.cmdPrint, Qt::LeftButton);
    return seen;
  }
};

TEST_P(HistoryFilterTest, OpensOnThisMonthAndHandsTheRangeAndTheTickedMembersOn) {
  FillRoster({"1001", "1002", "1003"}, {"1001", "1003"});
  AddHist("1001", true, 20251215, "08:00:00");
  AddHist("1002", true, 20260110, "08:00:00");
  AddHist("1003", true, 20260110, "09:00:00");
  Seen seen;
  OpenFilter([&](frmPrint& f) {
    EXPECT_EQ(f.mode(), frmPrint::Mode::History);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("入退室履歴情報"));
    EXPECT_EQ(f.lblID->text(), QStringLiteral("年月："));
    EXPECT_EQ(f.chkChkBox->text(), QStringLiteral("選択データを表示"));
    EXPECT_EQ(f.cmdPrint->text(), QStringLiteral("実行"));
    EXPECT_EQ(f.txtIDStart->text(), QStringLiteral("202601"));
    EXPECT_EQ(f.txtIDEnd->text(), QStringLiteral("202601"));
    EXPECT_FALSE(f.chkAll->isEnabled());
    EXPECT_FALSE(f.imgLogo->Picture().isNull());
    // Full-width digits are typed through the input method.
    seen = Run(f, QStringLiteral("２０２５１２"), QStringLiteral("202601"), true);
    EXPECT_EQ(f.txtIDStart->text(), QStringLiteral("202512"));
  });
  EXPECT_TRUE(seen.histOpened);
  EXPECT_EQ(seen.from, 20251200);
  EXPECT_EQ(seen.to, 20260199);
  EXPECT_TRUE(seen.idSel);
  EXPECT_EQ(seen.count, 2);
  EXPECT_EQ(seen.ids, QStringList({"1001", "1003"}));
  EXPECT_EQ(seen.rows, 2);
  EXPECT_FALSE(frmPrint::IsLoaded());  // gone with the history window
  EXPECT_EQ(gintHistMode, 0);
  EXPECT_TRUE(boxes_.Boxes().empty());

  // All members: no ID list, every row of the month.
  OpenFilter([&](frmPrint& f) { seen = Run(f, "202601", "202601", false); });
  EXPECT_TRUE(seen.idSel);
  EXPECT_EQ(seen.count, 0);
  EXPECT_EQ(seen.rows, 2);
}

TEST_P(HistoryFilterTest, RefusesBadYearMonthsAndAnEmptySelection) {
  FillRoster({"1001"}, {});
  OpenFilter([&](frmPrint& f) {
    struct Case { const char* start; const char* end; const char* message; };
    for (const Case& c : {Case{"", "202601", "年月を入力してください。"},
                          Case{"202601", "", "年月を入力してください。"},
                          Case{"202602", "202601", "年月の指定が不明です。"},
                          Case{"2026", "202601", "年月は6桁(yyyymm)で入力してください。"},
                          Case{"2026ab", "202601", "年月は6桁(yyyymm)で入力してください。"}}) {
      const Seen seen = Run(f, QString::fromUtf8(c.start), QString::fromUtf8(c.end), false);
      EXPECT_FALSE(seen.histOpened) << c.start;
      ASSERT_FALSE(boxes_.Boxes().empty());
      EXPECT_EQ(boxes_.Boxes().back().text, QString::fromUtf8(c.message)) << c.start << "-" << c.end;
      EXPECT_EQ(boxes_.Boxes().back().title, QStringLiteral("入力の確認"));
      ASSERT_TRUE(frmPrint::IsLoaded());
    }
    // Entering the empty end field copies the start.
    f.txtIDEnd->clear();
    f.txtIDStart->setText("202512");
    f.txtIDEnd_GotFocus();
    EXPECT_EQ(f.txtIDEnd->text(), QStringLiteral("202512"));
    // Nobody ticked: the dialog says so and unloads.
    const Seen seen = Run(f, "202601", "202601", true);
    EXPECT_FALSE(seen.histOpened);
    EXPECT_EQ(boxes_.Boxes().back().text, QStringLiteral("選択されたデータがありません。"));
    EXPECT_EQ(boxes_.Boxes().back().style, ui::vbCritical);
    EXPECT_FALSE(frmPrint::IsLoaded());
  });

  // Cancel (and the close box) leave the history mode.
  OpenFilter([](frmPrint& f) {
    EXPECT_EQ(gintHistMode, 1);
    f.close();
    EXPECT_EQ(gintHistMode, 0);
  });
}

TEST_P(HistoryFilterTest, CardModeChecksTheIdRangeUnlessABoxIsTicked) {
  frmPrint& f = frmPrint::instance();
  EXPECT_EQ(f.mode(), frmPrint::Mode::Card);
  EXPECT_EQ(f.windowTitle(), QStringLiteral("IDカード印刷"));
  f.cmdPrint_Click();
  EXPECT_EQ(boxes_.Texts().back(), QStringLiteral("ID番号を入力してください。"));
  f.txtIDStart->setText("20");
  f.txtIDEnd->setText("１０");
  f.cmdPrint_Click();
  EXPECT_EQ(boxes_.Texts().back(), QStringLiteral("ID番号の指定が不明です。"));
  f.chkAll->setChecked(true);
  EXPECT_FALSE(f.txtIDStart->isEnabled());
  f.chkChkBox->setChecked(true);
  EXPECT_FALSE(f.chkAll->isChecked());
  EXPECT_FALSE(f.txtIDEnd->isEnabled());
  f.chkChkBox->setChecked(false);
  EXPECT_TRUE(f.txtIDEnd->isEnabled());
}

}  // namespace
VELMOR_ON_BOTH_DRIVERS(HistoryFilterTest);

}  // namespace historytest
