// The barcode frame over a real pseudo-terminal: how reads are cut into IDs, and how IDs that
// arrive while a road runs wait their turn; the receive buffer's handling of frames that are not
// an ID (line noise).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include "codepage/codepage.h"
#include "common/globals.h"
#include "common/mdlLogWrite.h"
#include "desk/BarcodeFrame.h"
#include "serial/mscomm.h"
#include "support/msgbox_recorder.h"
#include "support/support_program.h"
#include "support/support_pty.h"
#include "ui/clock.h"

namespace {

constexpr int kPort = 5;

class BarcodeLine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    pty_.UseAsPort(kPort);
    comm_.setCommPort(kPort);
    comm_.setSettings(QStringLiteral("9600,n,8,1"));
    comm_.setRThreshold(1);
    ASSERT_TRUE(comm_.setPortOpen(true)) << qPrintable(comm_.LastError());
    QObject::connect(&comm_, &serial::MSComm::OnComm, &frame_, &BarcodeFrame::OnComm);
  }

  // Sends one read's worth and waits until the frame has read it and handed on what it cut.
  void Read(const QByteArray& bytes) {
    sent_ += bytes.size();
    ASSERT_TRUE(pty_.Send(bytes));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame_.BytesRead() == sent_; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame_.Waiting() == 0 && !frame_.Busy(); }, 5000));
  }

  testsupport::PtyPair pty_;
  serial::MSComm comm_;
  QStringList ids_;
  std::function<void(const QString&)> road_ = [this](const QString& id) { ids_ << id; };
  BarcodeFrame frame_{comm_, [this](const QString& id) { road_(id); }};
  qint64 sent_ = 0;
};

struct FrameCase {
  const char* name;
  std::vector<QByteArray> reads;  // each sent and read on its own
  QStringList ids;
  QByteArray left;
};

TEST_F(BarcodeLine, ReadsAreCutIntoIdsAtTheirEndMarks) {
  const FrameCase cases[] = {
      {"TAB", {"123\t"}, {"123"}, ""},
      {"CR LF in one read", {"123\r\n"}, {"123"}, ""},
      {"LF alone", {"123\n"}, {"123"}, ""},
      // The LF of a CR LF that came in a later read is the end of the same frame.
      {"CR, then LF in a later read", {"123\r", "\n"}, {"123"}, ""},
      {"CR, then LF and the next ID", {"123\r", "\n456\r", "\n"}, {"123", "456"}, ""},
      {"TAB and CR LF in one read", {"A\tB\r\n"}, {"A", "B"}, ""},
      // Every complete ID of a read is handed on at once, none waits for the next scan.
      {"two CR LF frames in one read", {"A\r\nB\r\n"}, {"A", "B"}, ""},
      {"two CR frames in one read", {"A\rB\r"}, {"A", "B"}, ""},
      {"five frames in one read", {"1\r\n2\r\n3\r\n4\r\n5\r\n"}, {"1", "2", "3", "4", "5"}, ""},
      {"stray CR and LF apart", {"A\rB\n"}, {"A", "B"}, ""},
      {"LF before CR", {"A\nB\r"}, {"A", "B"}, ""},
      {"no end mark yet", {"12", "34"}, {}, "1234"},
      {"end mark joins what waited", {"12", "34", "5\r\n"}, {"12345"}, ""},
      {"rest waits", {"A\r\nB"}, {"A"}, "B"},
      {"taken as received", {" 1a-2 \t"}, {" 1a-2 "}, ""},
      {"a bare end mark is an empty ID", {"\t"}, {""}, ""},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    ids_.clear();
    for (const QByteArray& read : c.reads) Read(read);
    EXPECT_EQ(ids_, c.ids);
    EXPECT_EQ(frame_.Buffer().Text(), c.left);
    // Leave an empty buffer for the next case.
    if (!frame_.Buffer().Text().isEmpty()) Read("\t");
  }
}

TEST_F(BarcodeLine, IdsArrivingDuringARoadWaitTheirTurn) {
  int depth = 0;
  int maxDepth = 0;
  bool sentMore = false;
  road_ = [&](const QString& id) {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    ids_ << id;
    if (!sentMore) {
      // Two more scans while this road lets waiting events through (a mail, a message box).
      sentMore = true;
      sent_ += 12;
      ASSERT_TRUE(pty_.Send("1002\r\n"));
      ASSERT_TRUE(QTest::qWaitFor([&] { return frame_.BytesRead() == sent_ - 6; }, 5000));
      ASSERT_TRUE(pty_.Send("1003\r\n"));
      ASSERT_TRUE(QTest::qWaitFor([&] { return frame_.BytesRead() == sent_; }, 5000));
      EXPECT_EQ(frame_.Waiting(), 2);
      EXPECT_EQ(ids_, QStringList{"1001"});
    }
    --depth;
  };
  Read("1001\r\n");
  EXPECT_EQ(ids_, (QStringList{"1001", "1002", "1003"}));
  EXPECT_EQ(maxDepth, 1);
  EXPECT_TRUE(frame_.Buffer().Text().isEmpty());
}

TEST_F(BarcodeLine, ALineErrorIsReportedAndLeavesTheBufferAndThePort) {
  testsupport::MsgBoxRecorder boxes;
  Read("12");
  // The reader goes away in the middle of a scan: the dead line fails on every read from now
  // on, and is reported once.
  pty_.Hangup();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Boxes().empty(); }, 5000));
  QTest::qWait(200);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, QStringLiteral("その他の通信エラー"));
  EXPECT_EQ(boxes.Boxes()[0].style, 16);
  EXPECT_EQ(frame_.Buffer().Text(), QByteArray("12"));
  EXPECT_TRUE(ids_.isEmpty());
  EXPECT_TRUE(comm_.PortOpen());
}

// ---- frames that are not an ID -------------------------------------------------------------------

class NoiseFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    gblnLog = true;
    ui::SetClock([] { return QDateTime(QDate(2026, 6, 15), QTime(9, 5, 0)); });
  }
  void TearDown() override { ui::SetClock({}); }
  int NoiseLines() const {
    QFile f(gstrLogDir + TodayLogName());
    if (!f.open(QIODevice::ReadOnly)) return 0;
    return int(cp::FromAnsi(f.readAll()).count(QStringLiteral(",バーコード不正,失敗\r\n")));
  }

  testsupport::ProgramFolder folder_;  // the log folder
};

TEST_F(NoiseFrames, FramesWithBytesOutsidePrintableAsciiAreDroppedAndLogged) {
  QByteArray printable;
  for (char c = 0x20; c <= 0x7E; ++c) printable += c;
  const FrameCase cases[] = {
      {"NUL", {QByteArray("10\0" "01\r\n", 7)}, {}, ""},
      {"ESC sequence", {"\x1b[2J1001\r"}, {}, ""},
      {"DEL", {"1001\x7f\t"}, {}, ""},
      {"other control bytes", {"\x01" "1001\x02\n"}, {}, ""},
      {"byte 0x80", {"1001\x80\r\n"}, {}, ""},
      {"byte 0xFF", {"\xff" "1001\t"}, {}, ""},
      // IDs are digits: a double-byte character of the code page is noise as well.
      {"CP932 double-byte character", {"\x82\x50" "001\r\n"}, {}, ""},
      {"noise between two scans in one read", {"1001\r\n10\x1b" "02\r\n1003\r\n"}, {"1001", "1003"}, ""},
      {"noise that waited for its end mark", {"10\x90", "02\r\n", "1003\r\n"}, {"1003"}, ""},
      {"noise before a scan still waiting", {"\x90\t10"}, {}, "10"},
  };
  int dropped = 0;
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    BarcodeBuffer buffer;
    QStringList ids;
    for (const QByteArray& read : c.reads) ids += buffer.Append(read);
    EXPECT_EQ(ids, c.ids);
    EXPECT_EQ(buffer.Text(), c.left);
    EXPECT_EQ(NoiseLines(), ++dropped);
  }

  // Clean frames pass as received: every printable character, blanks, empty frames.
  BarcodeBuffer buffer;
  EXPECT_EQ(buffer.Append(printable + "\r\n"), QStringList{QString::fromLatin1(printable)});
  EXPECT_EQ(buffer.Append(" 1a-2 \t\t"), (QStringList{" 1a-2 ", ""}));
  EXPECT_EQ(buffer.Append("1001\r"), QStringList{"1001"});
  EXPECT_EQ(buffer.Append("\n"), QStringList{});
  EXPECT_EQ(NoiseLines(), dropped);

  // With logging off the frame is still dropped, and nothing is written.
  gblnLog = false;
  EXPECT_EQ(buffer.Append("1001\x1b\r\n"), QStringList{});
  EXPECT_EQ(NoiseLines(), dropped);
}

}  // namespace
