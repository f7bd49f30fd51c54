// The ID road without a window: each way a road ends for the full and the minimized station,
// what it stores, the stages it reports, the events it stores whatever fails after the member's
// last time is written, and the IDs that arrive while a road runs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QObject>

#include <functional>
#include <tuple>

#include "codepage/codepage.h"
#include "common/IdRoad.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "db/db.h"
#include "ftp/ftp.h"
#include "mail/mail.h"
#include "sound/sound.h"
#include "support/support_program.h"
#include "ui/clock.h"

namespace {

// A window that notes the stages it is told of.
class NotingWindow : public QObject, public RoadWindow {
 public:
  bool RoadWindowOpen() const override { return open; }
  void RoadStarted(const RoadEvent&) override { stages << "started"; }
  void RoadBusy(const RoadEvent&) override { stages << "busy"; }
  EventPhoto RoadPhoto(const RoadEvent&) override {
    stages << "photo";
    return {};
  }
  void RoadGreeting(const RoadEvent&, const GreetingPick& g) override {
    stages << (g.found ? "greeting:" + g.message : QStringLiteral("greeting"));
    if (onGreeting) onGreeting();
  }
  QString RoadMailTemplate(bool entry) const override { return entry ? "in %名前%" : "out %名前%"; }
  void RoadAfterMail(const RoadEvent& e) override { stages << "mailed:" + e.id; }
  void RoadNoticeEnded(const RoadEvent& e) override { stages << "notified:" + e.id; }
  void RoadEnded(const RoadEvent& e, RoadEnd how) override {
    stages << "ended";
    ends.push_back(how);
    events.push_back(e);
  }

  bool open = true;
  QStringList stages;
  std::vector<RoadEnd> ends;
  std::vector<RoadEvent> events;
  std::function<void()> onGreeting;
};

// The road over a program folder whose database is on `driver`.
class IdRoadBase : public ::testing::Test {
 protected:
  // `databaseFolder`: where the SQLite database lies, when not in the program folder.
  void SetUpOn(testsupport::Driver driver, const QString& databaseFolder = QString()) {
    folder_.SetDriver(driver);
    folder_.SetDatabaseFolder(databaseFolder);
    now_ = QDateTime(QDate(2026, 6, 15), QTime(9, 5, 0));
    ui::SetClock([this] { return now_; });
    ui::SetRandom([] { return 0.0; });
    sound::SetOutput(QStringLiteral("fakesink"));
    sound::SetPlayObserver([this](const QString& path, bool) { sounds_ << path.section('/', -1); });
    folder_.WriteSettings(QStringLiteral("[SYSTEM]\ninouttime=1\ninoutchg=12\n"));
    QString error;
    ASSERT_TRUE(LoadSettings(&error)) << error.toStdString();
    folder_.CreateDatabase();
    gstrUserPsw = QStringLiteral("9999");
    folder_.AddMember(QStringLiteral("1001"), QStringLiteral("山田"), QStringLiteral("さま"));
    folder_.AddMember(QStringLiteral("1002"), QStringLiteral("佐藤"), QStringLiteral("くん"), QString(),
                      QStringLiteral("parent@example.jp"));
    db::Execute(gcnDB(), QStringLiteral("INSERT INTO tblMessage (Message, InYes) VALUES ('ようこそ', -1)"));
  }
  void TearDown() override {
    ui::SetClock({});
    ui::SetRandom({});
    sound::SetPlayObserver({});
    sound::SetOutput(QString());
    mail::SetLimits({});
    ftp::SetLimits({});
  }

  QStringList History() const {
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(gcnDB(), QStringLiteral("select ID, IOName, inTime from tblHist order by SEQ")));
    QStringList rows;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
      rows << rs.Text("ID") + ' ' + rs.Text("IOName") + ' ' + rs.Text("inTime");
    return rows;
  }
  QString Member(const QString& id, const char* field) const {
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(gcnDB(), QStringLiteral("select * from tblData where ID=?"), {id}));
    return rs.RecordCount() > 0 ? rs.Text(QLatin1String(field)) : QStringLiteral("<none>");
  }
  QStringList LogLines() const {
    QFile f(folder_.Path() + QStringLiteral("log/20260615.log"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList out;
    for (const QString& line : cp::FromAnsi(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
      out << line.section(',', 2);
    return out;
  }
  // A mail server that refuses at once.
  static void MailRefused() {
    gblnSendMail = true;
    gblnIsServer = false;
    gstrMailServer = QStringLiteral("127.0.0.1");
    gintPort = 1;
  }

  QDateTime now_;
  testsupport::ProgramFolder folder_;
  QStringList sounds_;
};

class IdRoadTest : public IdRoadBase, public ::testing::WithParamInterface<testsupport::Driver> {
 protected:
  void SetUp() override { SetUpOn(GetParam()); }
};
VELMOR_ON_BOTH_DRIVERS(IdRoadTest);

struct EndCase {
  const char* name;
  bool minimized;
  const char* input;
  RoadEnd end;
  int historyRows;
  const char* stages;  // the stages the window is told of, in order
};
void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class RoadEnds : public IdRoadBase,
                 public ::testing::WithParamInterface<std::tuple<EndCase, testsupport::Driver>> {
 protected:
  void SetUp() override { SetUpOn(std::get<1>(GetParam())); }
};

TEST_P(RoadEnds, EachWayARoadEnds) {
  const EndCase& c = std::get<0>(GetParam());
  // 1002 came in a minute ago: his scan now is too soon.
  db::Execute(gcnDB(), QStringLiteral("UPDATE tblData SET LastIn='2026/06/15 09:04:30' WHERE ID='1002'"));
  gblnSendMail = false;
  NotingWindow w;
  IdRoad road(&w, &w, c.minimized ? RoadOptions::Minimized() : RoadOptions::Station());
  EXPECT_TRUE(road.Submit(QString::fromUtf8(c.input)));
  ASSERT_EQ(w.ends.size(), 1u);
  EXPECT_EQ(w.ends[0], c.end);
  EXPECT_EQ(w.stages.join(' '), QString::fromUtf8(c.stages));
  EXPECT_EQ(History().size(), c.historyRows);
  EXPECT_FALSE(road.Running());
}

const auto kEndCases = ::testing::Values(
    EndCase{"StationPassword", false, "9999", RoadEnd::StationPassword, 0, "started ended"},
    EndCase{"PasswordIsAnIdOnTheMinimizedStation", true, "9999", RoadEnd::Unregistered, 0,
            "started ended"},
    EndCase{"EmptyId", false, "ab-", RoadEnd::EmptyId, 0, "started busy ended"},
    EndCase{"Unregistered", false, "4711", RoadEnd::Unregistered, 0, "started busy ended"},
    EndCase{"DigitsOnly", false, "10-01", RoadEnd::Recorded, 1, "started busy greeting:ようこそ ended"},
    EndCase{"MinimizedTakesTheIdAsItCame", true, "10-01", RoadEnd::Unregistered, 0, "started ended"},
    EndCase{"MinimizedEntry", true, "1001", RoadEnd::Recorded, 1, "started greeting ended"},
    EndCase{"TooSoon", false, "1002", RoadEnd::AlreadyRegistered, 0, "started busy ended"});
INSTANTIATE_TEST_SUITE_P(Ways, RoadEnds, ::testing::Combine(kEndCases, testsupport::BothDrivers()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  testsupport::DriverName({std::get<1>(info.param), info.index});
                         });

TEST_P(IdRoadTest, EntryExitAndWhatEachStationStores) {
  NotingWindow w;
  IdRoad station(&w, &w, RoadOptions::Station());
  station.Submit(QStringLiteral("1001"));
  EXPECT_EQ(Member("1001", "LastIn"), QStringLiteral("2026/06/15 09:05:00"));
  now_ = now_.addSecs(120);
  station.Submit(QStringLiteral("1001"));
  EXPECT_EQ(Member("1001", "LastOut"), QStringLiteral("2026/06/15 09:07:00"));
  EXPECT_EQ(History(), (QStringList{"1001 入室 09:05:00", "1001 退室 09:07:00"}));
  EXPECT_EQ(LogLines(), (QStringList{"1001 - アクセス,成功", "1001 - アクセス,成功"}));
  EXPECT_TRUE(sounds_.isEmpty());  // sounds are off

  // The minimized station plays its check sound with sounds off, and stores no photo name.
  NotingWindow m;
  IdRoad minimized(&m, &m, RoadOptions::Minimized());
  now_ = now_.addSecs(120);
  minimized.Submit(QStringLiteral("1001"));
  EXPECT_EQ(History().last(), QStringLiteral("1001 入室 09:09:00"));
  EXPECT_EQ(sounds_, QStringList{QStringLiteral("chk.wav")});
}

TEST_P(IdRoadTest, DatabaseFailuresBeforeTheDecisionAreLoggedOnlyByTheFullStation) {
  gcnDB().Close();
  NotingWindow w;
  IdRoad station(&w, &w, RoadOptions::Station());
  station.Submit(QStringLiteral("1001"));
  IdRoad minimized(&w, &w, RoadOptions::Minimized());
  minimized.Submit(QStringLiteral("1001"));
  EXPECT_EQ(w.ends, (std::vector<RoadEnd>{RoadEnd::DatabaseFailed, RoadEnd::DatabaseFailed}));
  EXPECT_EQ(LogLines(), QStringList{QStringLiteral("1001 - データベース,失敗")});
}

TEST_P(IdRoadTest, FailuresAfterTheLastTimeStillStoreTheEvent) {
  // A refused mail, a failing FTP upload, and a window that goes away while the mail waits.
  MailRefused();
  mail::SetLimits({2, 2, 2});
  ftp::SetLimits({2, 2, 2});
  gblnFtp = true;
  gstrFtpServer = QStringLiteral("127.0.0.1:1");
  auto* w = new NotingWindow;
  IdRoad road(w, w, RoadOptions::Station());
  road.Submit(QStringLiteral("1002"));
  delete w;
  EXPECT_TRUE(road.WaitForNotices());
  EXPECT_EQ(Member("1002", "LastIn"), QStringLiteral("2026/06/15 09:05:00"));
  EXPECT_EQ(History(), QStringList{QStringLiteral("1002 入室 09:05:00")});
  EXPECT_EQ(LogLines(), (QStringList{"1002 - メール送信,失敗", "1002 - アクセス,成功", "1002 - FTP,失敗"}));
  EXPECT_EQ(road.LastEnd(), RoadEnd::Recorded);
}

TEST_P(IdRoadTest, IdsArrivingWhileARoadRunsTakeTheirTurnOnceEach) {
  MailRefused();
  folder_.AddMember(QStringLiteral("1003"), QStringLiteral("鈴木"), QStringLiteral("さん"), QString(),
                    QStringLiteral("a@example.jp"));
  NotingWindow w;
  IdRoad road(&w, &w, RoadOptions::Station());
  // While the first road greets, two more IDs arrive; neither runs inside it.
  int arrivals = 0;
  w.onGreeting = [&] {
    if (arrivals++ > 0) return;
    EXPECT_FALSE(road.Submit(QStringLiteral("1003")));
    road.Queue(QStringLiteral("1001"));
    EXPECT_EQ(road.Waiting(), 2);
  };
  EXPECT_TRUE(road.Submit(QStringLiteral("1002")));
  EXPECT_EQ(History(), (QStringList{"1002 入室 09:05:00", "1003 入室 09:05:00", "1001 入室 09:05:00"}));
  EXPECT_EQ(w.ends.size(), 3u);
  EXPECT_EQ(road.Waiting(), 0);
  EXPECT_FALSE(road.Running());

  // A window that closes drops what still waits.
  w.onGreeting = [&] {
    road.Queue(QStringLiteral("1001"));
    w.open = false;
  };
  now_ = now_.addSecs(600);
  road.Submit(QStringLiteral("1002"));
  EXPECT_EQ(History().size(), 4);
  EXPECT_EQ(History().last(), QStringLiteral("1002 退室 09:15:00"));
}

// An event that could not be stored leaves nothing of it, whatever failed before it; the next one
// is stored whole and reported so. Each way a write fails, before and after another failure.
class RoadAfterAFailure : public IdRoadTest {
 protected:
  // Scans `id` a minute after the last scan; how the road ended.
  RoadEnd Scan(const QString& id) {
    now_ = now_.addSecs(60);
    NotingWindow w;
    IdRoad road(&w, &w, RoadOptions::Station());
    road.Submit(id);
    EXPECT_EQ(w.ends.size(), 1u);
    return w.ends.empty() ? RoadEnd::Recorded : w.ends[0];
  }
  // Nothing of 1001 is stored: no last time, no history row.
  void ExpectNothingOf1001() {
    EXPECT_EQ(Member("1001", "LastIn"), QString());
    EXPECT_EQ(History(), QStringList());
  }
  // 1001's entry of now is stored whole, once.
  void ExpectEntryOf1001() {
    EXPECT_EQ(Member("1001", "LastIn"), now_.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
    EXPECT_EQ(History(), QStringList{"1001 入室 " + now_.toString(QStringLiteral("hh:mm:ss"))});
  }
};

TEST_P(RoadAfterAFailure, ARefusedHistoryRowStoresNothingBeforeAndAfterARefusedCommit) {
  // The history row refused as it is written.
  folder_.RefuseInserts(QStringLiteral("tblHist"), true);
  EXPECT_EQ(Scan(QStringLiteral("1001")), RoadEnd::DatabaseFailed);
  ExpectNothingOf1001();
  // Refused only at the commit.
  folder_.RefuseInserts(QStringLiteral("tblHist"), false);
  folder_.RefuseInserts(QStringLiteral("tblHist"), true, true);
  EXPECT_EQ(Scan(QStringLiteral("1001")), RoadEnd::DatabaseFailed);
  ExpectNothingOf1001();
  // And again as it is written, after that.
  folder_.RefuseInserts(QStringLiteral("tblHist"), false, true);
  folder_.RefuseInserts(QStringLiteral("tblHist"), true);
  EXPECT_EQ(Scan(QStringLiteral("1001")), RoadEnd::DatabaseFailed);
  ExpectNothingOf1001();

  folder_.RefuseInserts(QStringLiteral("tblHist"), false);
  EXPECT_EQ(Scan(QStringLiteral("1001")), RoadEnd::Recorded);
  ExpectEntryOf1001();
  EXPECT_EQ(LogLines(), (QStringList{"1001 - 履歴,失敗", "1001 - 履歴,失敗", "1001 - 履歴,失敗",
                                     "1001 - アクセス,成功"}));
}

TEST_P(RoadAfterAFailure, AConnectionLostInTheCommitIsReportedAsTheDatabaseEndedIt) {
  if (GetParam() != testsupport::Driver::PostgreSQL) GTEST_SKIP() << "a server connection";
  // The server ends the station's connection while the commit checks the history row.
  ASSERT_TRUE(db::Execute(gcnDB(), QStringLiteral(
      "CREATE FUNCTION hang_up() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
      "PERFORM pg_terminate_backend(pg_backend_pid()); PERFORM pg_sleep(5); RETURN NULL; END $$")));
  ASSERT_TRUE(db::Execute(gcnDB(), QStringLiteral(
      "CREATE CONSTRAINT TRIGGER hang_up AFTER INSERT ON tblHist DEFERRABLE INITIALLY DEFERRED "
      "FOR EACH ROW EXECUTE FUNCTION hang_up()")));
  EXPECT_EQ(Scan(QStringLiteral("1001")), RoadEnd::DatabaseFailed);
  ExpectNothingOf1001();  // on the connection opened anew
  ASSERT_TRUE(db::Execute(gcnDB(), QStringLiteral("DROP TRIGGER hang_up ON tblHist")));
  EXPECT_EQ(Scan(QStringLiteral("1001")), RoadEnd::Recorded);
  ExpectEntryOf1001();
}
VELMOR_ON_BOTH_DRIVERS(RoadAfterAFailure);

// The station's database on a file system that fills up and is freed again.
class RoadOnAFullDisk : public IdRoadBase {
 protected:
  void SetUp() override {
    if (!disk_.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    SetUpOn(testsupport::Driver::SQLite, disk_.Path());
  }
  RoadEnd Scan(const QString& id) {
    now_ = now_.addSecs(60);
    NotingWindow w;
    IdRoad road(&w, &w, RoadOptions::Station());
    road.Submit(id);
    return w.ends.empty() ? RoadEnd::Recorded : w.ends[0];
  }
  testsupport::SmallDisk disk_{1 << 20};
};

TEST_F(RoadOnAFullDisk, TheScanAfterTheDiskIsFreedIsStoredWholeAndReportedSo) {
  disk_.Fill();
  EXPECT_EQ(Scan(QStringLiteral("1001")), RoadEnd::DatabaseFailed);
  disk_.Free();
  EXPECT_EQ(Scan(QStringLiteral("1001")), RoadEnd::Recorded);
  EXPECT_EQ(Member("1001", "LastIn"), QStringLiteral("2026/06/15 09:07:00"));
  EXPECT_EQ(History(), QStringList{QStringLiteral("1001 入室 09:07:00")});

  // Full again, freed, and the history row refused: neither event leaves a trace.
  disk_.Fill();
  EXPECT_EQ(Scan(QStringLiteral("1002")), RoadEnd::DatabaseFailed);
  disk_.Free();
  folder_.RefuseInserts(QStringLiteral("tblHist"), true);
  EXPECT_EQ(Scan(QStringLiteral("1002")), RoadEnd::DatabaseFailed);
  EXPECT_EQ(Member("1002", "LastIn"), QString());
  EXPECT_EQ(History().size(), 1);
  const QStringList log = LogLines();
  ASSERT_EQ(log.size(), 4);
  EXPECT_EQ(log[1], QStringLiteral("1001 - アクセス,成功"));
  EXPECT_EQ(log[3], QStringLiteral("1002 - 履歴,失敗"));
}

}  // namespace
