// A station killed at any moment of an event keeps every event whole: child stations (road_child)
// run the ID road over real mail and FTP servers that never answer, a real sound and real photos,
// and are killed with SIGKILL at points across the road. After each kill the database holds, for
// every member, a history row for each last time and no newer history row than his last time,
// and every event the child reported as stored.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QThread>

#include <map>
#include <memory>
#include <random>

#include "common/globals.h"
#include "db/db.h"
#include "support/support_program.h"
#include "support/support_servers.h"

namespace {

// Where a child is killed: `delayMs` (at most) after it says `marker` for the scan.
struct KillPoint {
  const char* name;
  const char* marker;
  int delayMs;
};
const KillPoint kPoints[] = {
    {"while storing", "busy", 4},  // the lookup and the write take 1 to 3 ms
    {"after the decision", "decided", 3},
    {"during the photo", "photo", 25},
    {"during the sound", "photo-taken", 280},  // the wave plays 300 ms
    {"during the mail", "mail", 950},          // the mail waits 1 s for the server
    {"during the FTP upload", "ftp", 1900},    // connecting and sending wait 1 s each
};
constexpr int kRuns = 50;
constexpr int kSlots = 6;  // children running at once, each in a program folder of its own

struct KillRun {
  int number = 0;
  const KillPoint* point = nullptr;
  int killScan = 0;  // the scan during which the child is killed
  int delayMs = 0;
  QString Describe() const {
    return QStringLiteral("run %1, killed %2 of scan %3, %4 ms after its marker")
        .arg(number)
        .arg(QLatin1String(point->name))
        .arg(killScan)
        .arg(delayMs);
  }
};

// A program folder with its members and the child station working in it, run after run.
struct Slot {
  std::unique_ptr<testsupport::ProgramFolder> folder;
  std::unique_ptr<QProcess> child;
  KillRun run;
  QByteArray output;
  QElapsedTimer since;  // since the child started, then since its marker
  bool marked = false;
  QDateTime nextTime{QDate(2026, 6, 15), QTime(8, 0, 0)};
  int nextScan = 0;
  // The events the children reported as stored: "<ID> <kind> <yyyy/mm/dd hh:mm:ss>".
  QStringList decided;
  int unsaid = 0;  // scans that may have stored an event without saying so
};

class RoadKillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(silent_.Start()) << silent_.Error().toStdString();
    for (Slot& s : slots_) {
      s.folder = std::make_unique<testsupport::ProgramFolder>();
      s.folder->WriteSettings(QStringLiteral(
          "[SYSTEM]\nwavNum=2\nisserver=False\ninouttime=1\ninoutchg=12\n"
          "[MAIL]\nsendMail=True\nmailserver=127.0.0.1\nmailreg=0\n"
          "[IMAGE]\nsaveImg=True\n[VOICE]\nsound=True\n"));
      for (const char* wave : {"wave/wav001.wav", "wave/wav002.wav", "wave/onerr.wav"})
        s.folder->WriteWave(QLatin1String(wave), 300);
      s.folder->CreateDatabase();
      s.folder->AddMember(QStringLiteral("1001"), QStringLiteral("山田"), QStringLiteral("さま"), QString(),
                          QStringLiteral("yamada@example.jp"));
      s.folder->AddMember(QStringLiteral("1002"), QStringLiteral("佐藤"), QStringLiteral("くん"), QString(),
                          QStringLiteral("sato@example.jp"));
      s.folder->AddMember(QStringLiteral("1003"), QStringLiteral("鈴木"), QStringLiteral("さん"), QString(),
                          QStringLiteral("suzuki@example.jp;family@example.jp"));
      gcnDB().Close();
    }
  }

  void Start(Slot& s, const KillRun& run) {
    s.run = run;
    s.output.clear();
    s.marked = false;
    const int scans = run.killScan - s.nextScan + 2;  // one more than it should get through
    s.folder->UseDataSource();                         // the child inherits it
    s.child = std::make_unique<QProcess>();
    s.child->start(QStringLiteral(ROAD_CHILD),
                   {s.folder->Path(), QString::number(s.nextTime.toSecsSinceEpoch()),
                    QString::number(s.nextScan), QString::number(scans), QString::number(silent_.Port()),
                    QString::number(silent_.Port())});
    s.since.start();
  }

  // Reads what the child said; kills it once its time has come. True when the run is over.
  bool Poll(Slot& s) {
    const QByteArray marker = QByteArray::number(s.run.killScan) + ' ' + s.run.point->marker;
    while (!s.marked && s.child->canReadLine()) {
      const QByteArray line = s.child->readLine();
      s.output += line;
      if (line.trimmed() == marker || line.startsWith(marker + ' ')) {
        s.marked = true;
        s.since.start();
      }
    }
    const bool due = s.marked && s.since.elapsed() >= s.run.delayMs;
    if (!due && s.child->state() != QProcess::NotRunning && s.since.elapsed() < 30000) return false;
    const bool killed = due && s.child->state() == QProcess::Running;
    s.child->kill();
    s.child->waitForFinished(5000);
    s.output += s.child->readAllStandardOutput();
    Check(s, killed);
    return true;
  }

  void Check(Slot& s, bool killed) {
    const QString run = s.run.Describe();
    const QString said = QString::fromUtf8(s.output);
    EXPECT_TRUE(killed && s.child->exitStatus() == QProcess::CrashExit)
        << "the child was not killed mid-road, " << run.toStdString() << "\noutput:\n"
        << said.toStdString() << "errors:\n"
        << s.child->readAllStandardError().toStdString();

    // What the child got through, and where the next run goes on.
    int lastScan = s.nextScan - 1;
    QSet<int> storing, stored;
    for (const QString& line : said.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
      const QStringList words = line.split(QLatin1Char(' '));
      if (words.size() < 2) continue;
      const int scan = words[0].toInt();
      lastScan = std::max(lastScan, scan);
      if (words[1] == QLatin1String("busy")) storing << scan;
      if (words[1] == QLatin1String("decided")) {
        stored << scan;
        s.decided << words.mid(2).join(QLatin1Char(' '));
      }
    }
    // A child killed while storing may have stored its event without having said so: not only
    // the scan it was meant to be killed in, but also the spare scan behind it, which a slow
    // machine reaches when the step the kill waited for ends early (the FTP upload's time-out).
    s.unsaid += static_cast<int>((storing - stored).size());
    s.nextTime = s.nextTime.addSecs(180 * (lastScan - s.nextScan + 2));
    s.nextScan = lastScan + 1;

    s.folder->UseDataSource();
    db::Connection connection;
    ASSERT_TRUE(connection.Open(QStringLiteral("Pardix"), QString(), QString()))
        << connection.LastError().toStdString();
    CheckEventsWhole(connection, s, run);
    connection.Close();
  }

  static void CheckEventsWhole(db::Connection& connection, const Slot& s, const QString& run) {
    db::Recordset members, history;
    ASSERT_TRUE(members.Open(connection, QStringLiteral("select ID, LastIn, LastOut from tblData where ID<>''")))
        << members.LastError().toStdString();
    ASSERT_TRUE(history.Open(connection,
                             QStringLiteral("select ID, IOName, inDate, inTime from tblHist order by SEQ")))
        << history.LastError().toStdString();
    // Every history row as "<ID> <kind> <yyyy/mm/dd hh:mm:ss>"; each member's newest time of
    // each kind.
    QStringList all;
    std::map<QString, QString> newest;
    for (history.MoveFirst(); !history.Eof(); history.MoveNext()) {
      const QString date = history.Text(QStringLiteral("inDate"));
      const QString time = date.left(4) + QLatin1Char('/') + date.mid(4, 2) + QLatin1Char('/') + date.mid(6, 2) +
                           QLatin1Char(' ') + history.Text(QStringLiteral("inTime"));
      const QString id = history.Text(QStringLiteral("ID")), kind = history.Text(QStringLiteral("IOName"));
      all << id + QLatin1Char(' ') + kind + QLatin1Char(' ') + time;
      QString& last = newest[id + QLatin1Char(' ') + kind];
      last = std::max(last, time);
    }
    const std::string where = run.toStdString() + "\nhistory:\n" + all.join(QLatin1Char('\n')).toStdString();
    int membersSeen = 0;
    for (members.MoveFirst(); !members.Eof(); members.MoveNext()) {
      ++membersSeen;
      const QString id = members.Text(QStringLiteral("ID"));
      for (const auto& [field, kind] : {std::pair{"LastIn", "入室"}, std::pair{"LastOut", "退室"}}) {
        const QString lastTime = members.Text(QLatin1String(field));
        const QString kindName = QString::fromUtf8(kind);
        if (!lastTime.isEmpty()) {
          EXPECT_TRUE(all.contains(id + QLatin1Char(' ') + kindName + QLatin1Char(' ') + lastTime))
              << id.toStdString() << " " << field << " " << lastTime.toStdString() << " has no history row, "
              << where;
        }
        EXPECT_EQ(newest[id + QLatin1Char(' ') + kindName], lastTime)
            << "the newest " << kind << " row of " << id.toStdString() << " is not his " << field << ", "
            << where;
      }
    }
    EXPECT_EQ(membersSeen, 3);
    for (const QString& event : s.decided)
      EXPECT_TRUE(all.contains(event)) << "stored event " << event.toStdString() << " is lost, " << where;
    EXPECT_LE(all.size(), s.decided.size() + s.unsaid) << where;
  }

  testsupport::SilentServer silent_;
  Slot slots_[kSlots];
};

TEST_F(RoadKillTest, AnEventIsStoredWholeWhereverTheStationIsKilled) {
  std::mt19937 random(20260615);
  int started = 0, ended = 0;
  std::vector<bool> busy(kSlots, false);
  while (ended < kRuns && !HasFatalFailure()) {
    for (int i = 0; i < kSlots; ++i) {
      Slot& s = slots_[i];
      if (!busy[i] && started < kRuns) {
        KillRun run;
        run.number = started;
        run.point = &kPoints[started % std::size(kPoints)];
        // 0, 1 or 2 whole scans before the one that is killed.
        run.killScan = s.nextScan + (started / static_cast<int>(std::size(kPoints))) % 3;
        run.delayMs = std::uniform_int_distribution<int>(0, run.point->delayMs)(random);
        Start(s, run);
        busy[i] = true;
        ++started;
      } else if (busy[i] && Poll(s)) {
        busy[i] = false;
        ++ended;
      }
    }
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  EXPECT_EQ(ended, kRuns);
}

TEST_F(RoadKillTest, ScansWhileTheFirstMailIsHeldAreStoredBeforeAKill) {
  // The mail and FTP servers never answer and are given 30 s. Four members scan one after the
  // other while the first one's mail is held; each event is stored as it arrives, so a kill
  // during the hold loses none of them (their mails are lost with the process).
  Slot& s = slots_[0];
  s.folder->UseDataSource();
  QProcess child;
  child.start(QStringLiteral(ROAD_CHILD),
              {s.folder->Path(), QString::number(s.nextTime.toSecsSinceEpoch()), QStringLiteral("0"),
               QStringLiteral("4"), QString::number(silent_.Port()), QString::number(silent_.Port()),
               QStringLiteral("held")});
  QByteArray said;
  QElapsedTimer waited;
  waited.start();
  while (!said.contains("all-decided") && waited.elapsed() < 20000 && child.state() != QProcess::NotRunning) {
    child.waitForReadyRead(100);
    said += child.readAllStandardOutput();
  }
  EXPECT_TRUE(said.contains("all-decided")) << "the scans waited for the held mail:\n" << said.toStdString();
  QThread::msleep(200);
  child.kill();
  child.waitForFinished(5000);
  said += child.readAllStandardOutput();
  EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

  for (const QString& line : QString::fromUtf8(said).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    const QStringList words = line.split(QLatin1Char(' '));
    if (words.size() > 2 && words[1] == QLatin1String("decided")) s.decided << words.mid(2).join(QLatin1Char(' '));
  }
  EXPECT_EQ(s.decided.size(), 4) << said.toStdString();
  db::Connection connection;
  ASSERT_TRUE(connection.Open(QStringLiteral("Pardix"), QString(), QString())) << connection.LastError().toStdString();
  CheckEventsWhole(connection, s, QStringLiteral("killed while the first mail was held"));
  db::Recordset rows;
  ASSERT_TRUE(rows.Open(connection, QStringLiteral("select count(*) from tblHist")));
  EXPECT_EQ(rows.Value(0).toInt(), 4);
}

}  // namespace
