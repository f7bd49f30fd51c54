#include "support/bench_support.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>

#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "db/db.h"
#include "support/support_program.h"

namespace benchsupport {

QString MemberId(int index) { return QString::number(100000000 + index); }

namespace {
// The history rows in time order: `row` gets ID, IOName, inDate, inTime, imgFile of each.
template <typename Row>
void ForEachHistoryRow(int members, int history, Row row) {
  const int perMonth = history / 33 + 1;
  const int perDay = std::max(1, perMonth / 28);
  for (int i = 0; i < history; ++i) {
    const int month = i / perMonth;
    const int year = 2024 + month / 12, mon = month % 12 + 1;
    const int inMonth = i % perMonth, day = inMonth * 28 / perMonth + 1;
    const int second = (inMonth % perDay) * 40;  // spread over the day
    // 7919 is prime to the member count: every member comes round once per `members` rows.
    row(MemberId(static_cast<int>((i * 7919LL) % members)),
        i % 2 ? QStringLiteral("退室") : QStringLiteral("入室"), year * 10000 + mon * 100 + day,
        QStringLiteral("%1:%2:%3")
            .arg(second / 3600 % 24, 2, 10, QChar('0'))
            .arg(second / 60 % 60, 2, 10, QChar('0'))
            .arg(second % 60, 2, 10, QChar('0')),
        QStringLiteral("20260101000000.jpg"));
  }
}
}  // namespace

QByteArray MemberCopyRows(int members) {
  QByteArray out;
  for (int i = 0; i < members; ++i)
    out += (MemberId(i) + QStringLiteral("\t会員 %1\tさま\tかいいん %1\t\t\t2026/04/01\t2026/04/01\t\t\n").arg(i))
               .toUtf8();
  return out;
}

QByteArray HistoryCopyRows(int members, int history) {
  QByteArray out;
  ForEachHistoryRow(members, history, [&](const QString& id, const QString& io, int date,
                                          const QString& time, const QString& img) {
    out += (id + '\t' + io + '\t' + QString::number(date) + '\t' + time + '\t' + img + '\n').toUtf8();
  });
  return out;
}

void FillStationDatabase(const QString& databaseFile, int members, int history) {
  {
    QSqlDatabase lite = QSqlDatabase::addDatabase("QSQLITE", "fill");
    lite.setDatabaseName(databaseFile);
    lite.open();
    QSqlQuery q(lite);
    q.exec("PRAGMA synchronous=OFF");
    lite.transaction();
    q.prepare("INSERT INTO tblData (ID, UserName, UserAdd, NameKana, MailName, MailAddr, \"Date\", "
              "\"Update\", LastIn, LastOut) VALUES (?, ?, 'さま', ?, '', '', '2026/04/01', "
              "'2026/04/01', '', '')");
    for (int i = 0; i < members; ++i) {
      q.addBindValue(MemberId(i));
      q.addBindValue(QStringLiteral("会員 %1").arg(i));
      q.addBindValue(QStringLiteral("かいいん %1").arg(i));
      q.exec();
    }
    q.prepare("INSERT INTO tblHist (ID, IOName, inDate, inTime, imgFile) VALUES (?, ?, ?, ?, ?)");
    ForEachHistoryRow(members, history, [&q](const QString& id, const QString& io, int date,
                                             const QString& time, const QString& img) {
      q.addBindValue(id);
      q.addBindValue(io);
      q.addBindValue(date);
      q.addBindValue(time);
      q.addBindValue(img);
      q.exec();
    });
    lite.commit();
    lite.close();
  }
  QSqlDatabase::removeDatabase("fill");
}

int RunBenchmarks(int argc, char** argv, const std::function<bool()>& setup,
                  const std::function<void()>& teardown) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  db::EnsureUtf8Locale();
  benchmark::Initialize(&argc, argv);
  if (setup && !setup()) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (teardown) teardown();
  benchmark::Shutdown();
  return 0;
}

std::unique_ptr<testsupport::ProgramFolder> OpenFilledStation() {
  auto folder = std::make_unique<testsupport::ProgramFolder>();
  folder->CreateDatabase(false);
  FillStationDatabase(folder->DatabaseFile());
  QString error;
  if (OpenStationDatabase(&error)) return folder;
  std::fprintf(stderr, "%s\n", qPrintable(error));
  return nullptr;
}

std::unique_ptr<testsupport::ProgramFolder> OpenStationFolder(const QString& extraSettings) {
  auto folder = std::make_unique<testsupport::ProgramFolder>();
  folder->WriteSettings(extraSettings);
  QString error;
  if (!LoadSettings(&error)) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return nullptr;
  }
  folder->CreateDatabase();
  return folder;
}

}  // namespace benchsupport
