// The station window without a reader (name list, number pad, confirmation windows) and with a
// serial reader: what the member sees and what gets recorded.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QTest>
#include <QTimer>

#include <functional>

#include "../desk/station_fixture.h"
#include "desk/BarcodeFrame.h"
#include "desk/frmChk.h"
#include "desk/frmChkNo.h"
#include "desk/frmMin.h"
#include "common/PictureBox.h"
#include "common/globals.h"
#include "db/db.h"
#include "support/support_pty.h"
#include "ui/clock.h"

namespace {

using stationtest::StationTest;

constexpr char kNameList[] = "[SYSTEM]\nbarcode=False\nnobarscr=1\nscreen=1\nimgNum=3\ninttime=1\n";

class StationInputs : public StationTest {
 protected:
  // Prepares a station with `members` members (IDs 1001..; kana in reverse order of the IDs).
  void PrepareMembers(const QString& settings, int members) {
    Prepare(settings);
    for (int n = 1; n <= 3; ++n)
      WritePicture(QStringLiteral("image/image%1s.jpg").arg(n, 3, 10, QLatin1Char('0')), 20, 15, Qt::green);
    for (int i = 0; i < members; ++i)
      folder_.AddMember(QString::number(1001 + i), QStringLiteral("会員%1").arg(i + 1),
                        i == 1 ? QString("") : QStringLiteral("さま"),
                        QStringLiteral("か%1").arg(999 - i, 3, 10, QLatin1Char('0')));
  }
  static QWidget* Focus() {
    QWidget* w = QApplication::focusWidget();
    return w ? w : &frmMain::instance();
  }
  int VisibleNames() const {
    int n = 0;
    for (QPushButton* b : frmMain::instance().cmdName) n += b->isVisible() ? 1 : 0;
    return n;
  }
  // Runs `act` once the modal window `T` is up, then does `open` (which opens it and waits).
  template <class T>
  void WithModal(std::function<void(T&)> act, const std::function<void()>& open) {
    bool ran = false;
    QObject guard;  // a window that never opens leaves no pending action behind
    QTimer::singleShot(0, &guard, [&] {
      ASSERT_TRUE(
          QTest::qWaitFor([] { return T::IsLoaded() && T::instance().Activated(); }, 5000));
      ran = true;
      act(T::instance());
    });
    open();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(T::IsLoaded());
  }
};

// ---- name list -----------------------------------------------------------------------------------

class NameListPages : public StationInputs, public ::testing::WithParamInterface<int> {};

TEST_P(NameListPages, FillColumnsAndTurnPages) {
  const int members = GetParam();
  PrepareMembers(kNameList, members);
  frmMain& f = Open();
  const int pages = (members + 19) / 20;
  EXPECT_EQ(f.lblCnt->text(), QStringLiteral("1/%1").arg(pages));
  EXPECT_EQ(VisibleNames(), std::min(members, 20));
  // Column 1 from the top, then column 2, then column 3.
  EXPECT_EQ(f.cmdIcon[0]->geometry(), QRect(30, 288, 67, 50));
  EXPECT_EQ(f.cmdName[0]->geometry(), QRect(97, 288, 243, 50));
  if (members >= 7) {
    EXPECT_EQ(f.cmdIcon[6]->pos(), QPoint(30, 648));
  }
  if (members >= 8) {
    EXPECT_EQ(f.cmdIcon[7]->pos(), QPoint(370, 288));
  }
  if (members >= 15) {
    EXPECT_EQ(f.cmdIcon[14]->pos(), QPoint(710, 288));
  }
  if (members >= 20) {
    EXPECT_EQ(f.cmdName[19]->pos(), QPoint(777, 588));
  }

  // Nothing before page 1.
  f.mblnActive = false;
  f.frmMain_imgFoward_Click();
  EXPECT_EQ(f.lblMess->text(), QStringLiteral("これより前の画面はありません。"));
  EXPECT_TRUE(f.mblnActive);
  EXPECT_EQ(f.lblCnt->text(), QStringLiteral("1/%1").arg(pages));

  for (int page = 2; page <= pages; ++page) {
    f.mblnActive = false;
    f.frmMain_imgNext_Click();
    EXPECT_FALSE(f.mblnActive);
    EXPECT_EQ(f.lblCnt->text(), QStringLiteral("%1/%2").arg(page).arg(pages));
  }
  EXPECT_EQ(VisibleNames(), members - (pages - 1) * 20);
  EXPECT_EQ(f.cmdIcon[0]->pos(), QPoint(30, 288));
  // By kana: the first member added (the largest kana) is on the last button.
  EXPECT_EQ(f.mstrPageIDs.value(VisibleNames() - 1), QStringLiteral("1001"));
  f.frmMain_imgNext_Click();
  EXPECT_EQ(f.lblMess->text(), QStringLiteral("これより次の画面はありません。"));
  EXPECT_TRUE(f.mblnActive);
  if (pages > 1) {
    f.frmMain_imgFoward_Click();
    EXPECT_EQ(f.lblCnt->text(), QStringLiteral("%1/%2").arg(pages - 1).arg(pages));
    EXPECT_EQ(VisibleNames(), 20);
  }
}
INSTANTIATE_TEST_SUITE_P(Members, NameListPages, ::testing::Values(7, 8, 20, 21, 40, 41));

TEST_F(StationInputs, ListOrderAndIconsFollowTheDisplayMode) {
  PrepareMembers(QString(kNameList) + "screen=2\n", 3);
  frmMain& f = Open();
  // Seasonal screen with the plain list: by ID, icons carry the IDs.
  EXPECT_EQ(f.mstrPageIDs.mid(0, 3), (QStringList{"1001", "1002", "1003"}));
  EXPECT_EQ(f.cmdIcon[0]->text(), QStringLiteral("1001"));
  EXPECT_TRUE(f.cmdIcon[0]->icon().isNull());
  // A member without honorific: his name and one blank.
  EXPECT_EQ(f.cmdName[1]->text(), QStringLiteral("会員2 "));
  frmMain::Unload();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // With the number check the list goes by kana in both screens, icons show pictures.
  gintNoBarScr = 3;
  for (int screen : {1, 2}) {
    gintScreen = screen;
    frmMain& g = Open();
    EXPECT_EQ(g.mstrPageIDs.mid(0, 3), (QStringList{"1003", "1002", "1001"}));
    EXPECT_TRUE(g.cmdIcon[0]->text().isEmpty());
    EXPECT_FALSE(g.cmdIcon[0]->icon().isNull());
    frmMain::Unload();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

TEST_F(StationInputs, APickedNameIsRecordedOnlyWhenConfirmed) {
  PrepareMembers(kNameList, 3);
  frmMain& f = Open();
  // "いいえ": nothing recorded.
  WithModal<frmChk>([](frmChk& c) {
    EXPECT_EQ(c.lblName->text(), QStringLiteral("会員2 \nですか？"));
    EXPECT_FALSE(c.imgPic->Picture().isNull());
    c.cmdNo->click();
  }, [&] { f.cmdIcon[1]->click(); });
  EXPECT_EQ(gstrSelectedID, QStringLiteral("1002"));
  EXPECT_TRUE(History().empty());
  // The name button does what the icon does; "はい" runs the road for the chosen member.
  WithModal<frmChk>([](frmChk& c) { c.cmdOK->click(); }, [&] { f.cmdName[0]->click(); });
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].id, QStringLiteral("1003"));
  EXPECT_EQ(History()[0].ioName, QStringLiteral("入室"));
  // The activation sound of the window: chk.wav with sounds off.
  EXPECT_NE(std::find(played_.begin(), played_.end(), QStringLiteral("chk.wav")), played_.end());
}

TEST_F(StationInputs, AnUnansweredNameConfirmationAnswersYesByItself) {
  PrepareMembers(kNameList, 3);
  frmMain& f = Open();
  WithModal<frmChk>([](frmChk& c) {
    for (int i = 0; i < 59; ++i) c.Timer1_Timer();
    EXPECT_TRUE(frmChk::IsLoaded());
    c.Timer1_Timer();
  }, [&] { f.cmdIcon[2]->click(); });
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].id, QStringLiteral("1001"));
}

TEST_F(StationInputs, TheNumberCheckAcceptsOnlyTheChosenNumber) {
  PrepareMembers(QString(kNameList) + "nobarscr=3\n", 3);
  frmMain& f = Open();
  WithModal<frmChkNo>([&](frmChkNo& c) {
    EXPECT_EQ(c.lblName->text(), QStringLiteral("会員3 さま\n番号を入力してください"));
    // A leading zero the ID lacks is a mismatch; the digits stay for correcting.
    c.cmdNo[0]->click();
    for (char d : QByteArray("1001")) c.cmdNo[d - '0']->click();
    c.cmdOK->click();
    EXPECT_EQ(c.lblName->text(), QStringLiteral("会員3 さま\n入力された番号は合いません"));
    EXPECT_EQ(c.lblNo->text(), QStringLiteral("01001"));
    // A second wrong try keeps the text.
    c.cmdClear->click();
    c.cmdOK->click();
    EXPECT_EQ(c.lblName->text(), QStringLiteral("会員3 さま\n入力された番号は合いません"));
    // Keyboard: Backspace, digits, and one Enter in the focus box gives one answer.
    for (int i = 0; i < 4; ++i) QTest::keyClick(c.txtDummy, Qt::Key_Backspace);
    EXPECT_TRUE(c.lblNo->text().isEmpty());
    QTest::keyClicks(c.txtDummy, "1003");
    EXPECT_EQ(c.lblNo->text(), QStringLiteral("1003"));
    QTest::keyClick(c.txtDummy, Qt::Key_Return);
  }, [&] { f.cmdIcon[0]->click(); });
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].id, QStringLiteral("1003"));
  EXPECT_EQ(gstrSelectedID, QStringLiteral("1003"));

  // Esc cancels.
  WithModal<frmChkNo>([](frmChkNo& c) { QTest::keyClick(c.txtDummy, Qt::Key_Escape); },
                      [&] { f.cmdIcon[1]->click(); });
  EXPECT_EQ(History().size(), 1u);
}

TEST_F(StationInputs, TheNumberCheckTimesOut) {
  PrepareMembers(QString(kNameList) + "nobarscr=3\n", 3);
  frmMain& f = Open();
  // Nothing typed: closes as if cancelled.
  WithModal<frmChkNo>([](frmChkNo& c) {
    for (int i = 0; i < 60; ++i) c.Timer1_Timer();
  }, [&] { f.cmdIcon[0]->click(); });
  // A wrong number when the time is up: the mismatch text, then closed.
  QString shown;
  WithModal<frmChkNo>([&](frmChkNo& c) {
    QTest::keyClicks(c.txtDummy, "42");
    QPointer<QLabel> name = c.lblName;
    for (int i = 0; i < 60; ++i) {
      if (frmChkNo::IsLoaded()) c.Timer1_Timer();
      if (name) shown = name->text();
    }
  }, [&] { f.cmdIcon[0]->click(); });
  EXPECT_TRUE(shown.endsWith(QStringLiteral("入力された番号は合いません")));
  // The right number left in the box when the time is up is accepted.
  WithModal<frmChkNo>([](frmChkNo& c) {
    QTest::keyClicks(c.txtDummy, "1003");
    for (int i = 0; i < 60 && frmChkNo::IsLoaded(); ++i) c.Timer1_Timer();
  }, [&] { f.cmdIcon[0]->click(); });
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].id, QStringLiteral("1003"));
}

// ---- number pad ----------------------------------------------------------------------------------

TEST_F(StationInputs, ThePadLooksTheNumberUp) {
  PrepareMembers(QString(kNameList) + "nobarscr=2\n", 3);
  frmMain& f = Open();
  // Keys: pad digits, "削除", keyboard digits and Backspace.
  f.cmdRet->click();  // empty: nothing opens
  EXPECT_FALSE(frmChk::IsLoaded());
  f.cmdNo[1]->click();
  f.cmdClear->click();
  f.cmdClear->click();
  EXPECT_TRUE(f.lblNo->text().isEmpty());
  // Typed where the keyboard focus is.
  QTest::keyClicks(Focus(), "1x0");
  QTest::keyClick(Focus(), Qt::Key_Backspace);
  EXPECT_EQ(f.lblNo->text(), QStringLiteral("1"));
  for (int d : {0, 0, 2}) f.cmdNo[d]->click();
  EXPECT_EQ(f.lblNo->text(), QStringLiteral("1002"));
  WithModal<frmChk>([](frmChk& c) {
    EXPECT_EQ(c.lblName->text(), QStringLiteral("会員2 \nですか？"));
    c.cmdOK->click();
  }, [&] { QTest::keyClick(Focus(), Qt::Key_Return); });
  EXPECT_TRUE(f.lblNo->text().isEmpty());
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].id, QStringLiteral("1002"));

  // Not registered (a leading zero included): the notice and its one button; nothing recorded.
  for (int d : {0, 1, 0, 0, 1}) f.cmdNo[d]->click();
  WithModal<frmChk>([](frmChk& c) {
    EXPECT_EQ(c.lblName->text(), QStringLiteral("指定された番号の登録データは見つかりません。"));
    EXPECT_FALSE(c.cmdOK->isVisible());
    EXPECT_EQ(c.cmdNo->text(), QStringLiteral("ＯＫ"));
    c.cmdNo->click();
  }, [&] { f.cmdRet->click(); });
  EXPECT_EQ(gstrSelectedID, QStringLiteral("01001"));
  EXPECT_TRUE(f.lblNo->text().isEmpty());
  EXPECT_EQ(History().size(), 1u);
}

TEST_F(StationInputs, ANumberLeftOnThePadIsSubmittedByTheClock) {
  PrepareMembers(QString(kNameList) + "nobarscr=2\n", 3);
  frmMain& f = Open();
  for (int d : {1, 0, 0, 3}) f.cmdNo[d]->click();
  // The window answers "はい" by itself in its turn.
  WithModal<frmChk>([](frmChk& c) {
    for (int i = 0; i < 60 && frmChk::IsLoaded(); ++i) c.Timer1_Timer();
  }, [&] { Ticks(60); });
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].id, QStringLiteral("1003"));
  EXPECT_TRUE(f.lblNo->text().isEmpty());
}

TEST_F(StationInputs, TheClockLeavesAPadLookupAwaitingItsAnswerAlone) {
  PrepareMembers(QString(kNameList) + "nobarscr=2\n", 3);
  frmMain& f = Open();
  for (int d : {1, 0, 0, 3}) f.cmdNo[d]->click();
  bool nested = false;
  WithModal<frmChk>([&](frmChk& c) {
    const QString asked = c.lblName->text();
    // A lookup run again under the window would open it once more inside itself: that inner
    // window is answered "いいえ" after a while so that the test ends.
    QObject guard;
    QTimer::singleShot(2000, &guard, [&] {
      nested = true;
      if (frmChk::IsLoaded()) frmChk::instance().cmdNo->click();
    });
    // Every lookup draws the window a new picture.
    int draws = 0;
    ui::SetRandom([&draws] { ++draws; return 0.0; });
    Ticks(60);  // the idle time passes while the member reads the question
    ui::SetRandom([] { return 0.0; });
    EXPECT_EQ(draws, 0);
    EXPECT_FALSE(nested);
    ASSERT_TRUE(frmChk::IsLoaded());
    EXPECT_EQ(&frmChk::instance(), &c);
    EXPECT_EQ(c.lblName->text(), asked);
    EXPECT_TRUE(History().empty());
    c.cmdOK->click();
  }, [&] { f.cmdRet->click(); });
  EXPECT_FALSE(nested);
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].id, QStringLiteral("1003"));
}

TEST_F(StationInputs, KeysDoNotTouchThePadOutsidePadMode) {
  PrepareMembers(kNameList, 3);
  frmMain& f = Open();
  QTest::keyClicks(Focus(), "12");
  QTest::keyClick(Focus(), Qt::Key_Return);
  EXPECT_TRUE(f.lblNo->text().isEmpty());
  EXPECT_FALSE(frmChk::IsLoaded());
}

// ---- serial reader --------------------------------------------------------------------------------

TEST_F(StationInputs, SerialScansReachTheRoadOnceEach) {
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.UseAsPort(4);
  PrepareMembers("[SYSTEM]\nbarcode=True\nbarconnect=2\nbarport=4\n", 3);
  Open();
  // CR and LF in two reads: one road, no empty-ID road (it would log "ID未入力").
  ASSERT_TRUE(pty.Send("1001\r"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return History().size() == size_t(1); }, 5000));
  ASSERT_TRUE(pty.Send("\n1002\r\n1003\r\n"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return History().size() == size_t(3); }, 5000));
  QTest::qWait(100);
  EXPECT_EQ(History()[1].id, QStringLiteral("1002"));
  EXPECT_EQ(History()[2].id, QStringLiteral("1003"));
  EXPECT_FALSE(LogLines().contains(QStringLiteral("ID未入力,失敗")));
}

BarcodeFrame* StationFrame() {
  return frmMain::instance().findChild<BarcodeFrame*>(QStringLiteral("BarcodeFrame"),
                                                      Qt::FindDirectChildrenOnly);
}

// Sends `bytes` in pieces the line takes at once and waits until the station (the full one unless
// `frame` names another's) has read them and handed on every frame they completed.
void Feed(testsupport::PtyPair& pty, const QByteArray& bytes, BarcodeFrame* (*frame)() = StationFrame) {
  const qint64 before = frame() ? frame()->BytesRead() : 0;
  constexpr qsizetype kPiece = 2048;
  for (qsizetype at = 0; at < bytes.size(); at += kPiece) {
    const QByteArray piece = bytes.mid(at, kPiece);
    ASSERT_TRUE(pty.Send(piece));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return frame() && frame()->BytesRead() == before + at + piece.size(); }, 5000));
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame()->Waiting() == 0 && !frame()->Busy(); }, 30000));
}

TEST_F(StationInputs, SerialNoiseIsDroppedAndTheScansBesideItAreRecorded) {
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.UseAsPort(4);
  PrepareMembers("[SYSTEM]\nbarcode=True\nbarconnect=2\nbarport=4\n", 3);
  Open();
  // Only the digits of an ID count, so the noisy frame would be member 1002.
  Feed(pty, "1001\r\n10\x1b" "02\r\n1003\r\n");
  ASSERT_EQ(History().size(), size_t(2));
  EXPECT_EQ(History()[0].id, QStringLiteral("1001"));
  EXPECT_EQ(History()[1].id, QStringLiteral("1003"));
  EXPECT_EQ(Member("1002", "LastIn"), QString());
  EXPECT_EQ(LogLines().count(QStringLiteral("バーコード不正,失敗")), 1);
}

TEST_F(StationInputs, ReadsThatMixEndMarksRecordEveryCleanIdInBothStationWindows) {
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.UseAsPort(4);
  Prepare("[SYSTEM]\nbarcode=True\nbarconnect=2\nbarport=4\n");
  const QStringList ids{"6101", "6102", "6103", "6104", "6105", "6106", "31003"};
  for (const QString& id : ids) folder_.AddMember(id, QStringLiteral("会員") + id);
  // Each ID ends at its own end mark; a noise byte is dropped alone.
  const QByteArray reads[] = {"6101\r\n6102\t", "6103\r6104\t", "6105\n6106\t", "31003\r\n\x80\t\r\n"};
  auto recordedSince = [&](size_t first) {
    QStringList got;
    const std::vector<stationtest::HistRow> rows = History();
    for (size_t i = first; i < rows.size(); ++i) got << rows[i].id;
    return got.join(' ');
  };

  Open();
  for (const QByteArray& read : reads) Feed(pty, read);
  EXPECT_EQ(recordedSince(0), ids.join(' '));
  EXPECT_EQ(LogLines().count(QStringLiteral("バーコード不正,失敗")), 1);

  // The minimized station, an hour later: every member's exit.
  frmMain::Unload();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  Advance(3600);
  ASSERT_TRUE(frmMin::instance().MSComm1->PortOpen());
  for (const QByteArray& read : reads) Feed(pty, read, [] { return &frmMin::instance().Frame(); });
  EXPECT_EQ(recordedSince(ids.size()), ids.join(' '));
  EXPECT_EQ(LogLines().count(QStringLiteral("バーコード不正,失敗")), 2);
}

TEST_F(StationInputs, RandomBytesOnTheSerialLineRecordNothing) {
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.UseAsPort(4);
  Prepare("[SYSTEM]\nbarcode=True\nbarconnect=2\nbarport=4\n");
  // Every four-digit ID is a member.
  QSqlDatabase database = gcnDB().Database();
  ASSERT_TRUE(database.transaction());
  for (int id = 1000; id <= 9999; ++id)
    folder_.AddMember(QString::number(id), QStringLiteral("会員%1").arg(id));
  ASSERT_TRUE(database.commit());
  Open();

  QRandomGenerator random(20260615);
  QByteArray noise(256 * 1024, Qt::Uninitialized);
  for (char& c : noise) c = char(random.bounded(256));
  Feed(pty, noise);
  EXPECT_TRUE(frmMain::IsLoaded());
  EXPECT_EQ(History().size(), size_t(0));
  EXPECT_GT(LogLines().count(QStringLiteral("バーコード不正,失敗")), 1000);
}

}  // namespace
