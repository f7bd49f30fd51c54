// The history query: exclusive day-number bounds, the chosen IDs, both orders, deleted members.
#include "history_fixture.h"

#include "common/HistoryRecords.h"
#include "common/globals.h"
#include "db/db.h"
#include "support/support_postgres.h"

namespace historytest {
namespace {

QStringList Keys(const std::vector<HistoryListRow>& rows) {
  QStringList keys;
  for (const HistoryListRow& r : rows) keys << r.id + QLatin1Char('@') + r.inDate + QLatin1Char(' ') + r.inTime;
  return keys;
}

std::vector<HistoryListRow> Query(const HistoryFilter& filter) {
  std::vector<HistoryListRow> rows;
  QString error;
  EXPECT_TRUE(QueryHistory(filter, rows, &error)) << error.toStdString();
  return rows;
}

// The query on both drivers: its temporary table and its bounds are plain SQL.
class HistoryQuery : public HistoryTest, public ::testing::WithParamInterface<testsupport::Driver> {
 protected:
  void SetUp() override {
    folder_.SetDriver(GetParam());
    HistoryTest::SetUp();
  }
};

TEST_P(HistoryQuery, MonthBoundsAreExclusiveAcrossTheYearEnd) {
  folder_.AddMember("1001", "山田太郎");
  for (int day : {20251130, 20251201, 20251231, 20260101, 20260131, 20260201})
    AddHist("1001", true, day, "08:00:00");
  // December 2025 to January 2026, as the filter hands them on.
  HistoryFilter filter;
  filter.after = 20251200;
  filter.before = 20260199;
  EXPECT_EQ(Keys(Query(filter)), QStringList({"1001@20251201 08:00:00", "1001@20251231 08:00:00",
                                             "1001@20260101 08:00:00", "1001@20260131 08:00:00"}));
  // All months.
  EXPECT_EQ(Query(HistoryFilter{}).size(), 6u);
}

TEST_P(HistoryQuery, ChosenIdsRestrictTheRowsWhateverTheirNumber) {
  QStringList all;
  for (int i = 0; i < 1500; ++i) all << QString::number(200000 + i);
  for (const QString id : {"200000", "200001", "201499", "300000"}) {
    AddHist(id, true, 20260110, "09:00:00");
    AddHist(id, false, 20260110, "17:00:00");
  }
  AddHist("200001", true, 20260210, "09:00:00");  // outside the month

  HistoryFilter filter;
  filter.after = 20260100;
  filter.before = 20260199;
  filter.byIds = true;
  filter.ids = {"200001"};
  EXPECT_EQ(Keys(Query(filter)), QStringList({"200001@20260110 09:00:00", "200001@20260110 17:00:00"}));

  filter.ids = {"200000", "300000"};
  EXPECT_EQ(Keys(Query(filter)), QStringList({"200000@20260110 09:00:00", "300000@20260110 09:00:00",
                                             "200000@20260110 17:00:00", "300000@20260110 17:00:00"}));

  filter.ids = all;  // far more than one statement's expression limit as an OR chain
  EXPECT_EQ(Keys(Query(filter)),
            QStringList({"200000@20260110 09:00:00", "200001@20260110 09:00:00", "201499@20260110 09:00:00",
                         "200000@20260110 17:00:00", "200001@20260110 17:00:00", "201499@20260110 17:00:00"}));
  EXPECT_EQ(gstrSQL.count(QStringLiteral("ORDER BY")), 1);

  // The next, smaller choice replaces the stored one; no choice shows every ID.
  filter.ids = {"201499"};
  EXPECT_EQ(Query(filter).size(), 2u);
  filter.byIds = false;
  EXPECT_EQ(Query(filter).size(), 8u);
}

TEST_P(HistoryQuery, BothOrdersAndMembersDeletedSince) {
  folder_.AddMember("1002", "佐藤花子", "さん");
  AddHist("1002", true, 20260105, "09:00:00", "20260105090000.jpg");
  AddHist("1001", true, 20260105, "08:30:00");  // no member 1001 any more
  AddHist("1001", false, 20260106, "18:00:00");
  AddHist("1002", false, 20260105, "17:00:00");

  HistoryFilter filter;
  filter.after = 20260100;
  filter.before = 20260199;
  const auto byDate = Query(filter);
  EXPECT_EQ(Keys(byDate), QStringList({"1001@20260105 08:30:00", "1002@20260105 09:00:00",
                                       "1002@20260105 17:00:00", "1001@20260106 18:00:00"}));
  EXPECT_EQ(byDate[0].name, QString());
  EXPECT_EQ(byDate[0].honorific, QString());
  EXPECT_EQ(byDate[0].ioName, QStringLiteral("入室"));
  EXPECT_EQ(byDate[1].name, QStringLiteral("佐藤花子"));
  EXPECT_EQ(byDate[1].honorific, QStringLiteral("さん"));
  EXPECT_EQ(byDate[1].imgFile, QStringLiteral("20260105090000.jpg"));
  EXPECT_EQ(byDate[3].ioName, QStringLiteral("退室"));

  filter.order = HistoryOrder::ById;
  EXPECT_EQ(Keys(Query(filter)), QStringList({"1001@20260105 08:30:00", "1001@20260106 18:00:00",
                                             "1002@20260105 09:00:00", "1002@20260105 17:00:00"}));
}

TEST_P(HistoryQuery, ADatabaseFailureIsReportedWithNoRows) {
  AddHist("1001", true, 20260105, "08:30:00");
  ASSERT_TRUE(db::Execute(gcnDB(), QStringLiteral("DROP TABLE tblHist")));
  std::vector<HistoryListRow> rows(3);
  QString error;
  EXPECT_FALSE(QueryHistory(HistoryFilter{}, rows, &error));
  EXPECT_TRUE(rows.empty());
  EXPECT_FALSE(error.isEmpty());
}

VELMOR_ON_BOTH_DRIVERS(HistoryQuery);

}  // namespace
}  // namespace historytest
