// The entry/exit decision and the small pieces of the ID road that need no window.
#include <gtest/gtest.h>

#include "common/mdlStation.h"
#include "ui/clock.h"

namespace {

QDateTime At(const char* text) { return ReadStationTime(QString::fromLatin1(text)); }

struct Row {
  const char* name;
  const char* lastIn;   // nullptr: Null
  const char* lastOut;  // nullptr: Null
  const char* now;
  int t, h;
  EntryExit expected;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

QVariant V(const char* text) { return text ? QVariant(QString::fromLatin1(text)) : QVariant(); }

class DecisionTable : public ::testing::TestWithParam<Row> {};

TEST_P(DecisionTable, Outcome) {
  const Row& r = GetParam();
  EXPECT_EQ(DecideEntryExit(V(r.lastIn), V(r.lastOut), QString::fromLatin1(r.now), r.t, r.h), r.expected);
}

using E = EntryExit;
INSTANTIATE_TEST_SUITE_P(
    Rules, DecisionTable,
    ::testing::Values(
        Row{"NullLastInIsEntry", nullptr, "2026/06/15 08:00:00", "2026/06/15 08:00:30", 5, 12, E::Entry},
        Row{"EmptyLastInIsEntry", "", "", "2026/06/15 08:00:30", 5, 12, E::Entry},
        Row{"ForcedNewEntryAfterHHours", "2026/06/14 08:00:00", nullptr, "2026/06/15 08:30:00", 5, 12, E::Entry},
        Row{"NoForcedEntryWithHZero", "2026/06/14 08:00:00", nullptr, "2026/06/15 08:30:00", 5, 0, E::Exit},
        Row{"ExactlyHHoursIsNoForcedEntry", "2026/06/15 08:59:59", "", "2026/06/15 20:00:00", 5, 12, E::Exit},
        Row{"WithinTOfLastIn", "2026/06/15 10:00:30", "", "2026/06/15 10:05:59", 5, 12, E::AlreadyRegistered},
        Row{"FirstExitAfterT", "2026/06/15 10:00:30", "", "2026/06/15 10:06:00", 5, 12, E::Exit},
        Row{"ExitTooSoonAfterExit", "2026/06/15 09:00:00", "2026/06/15 12:00:00", "2026/06/15 12:03:00", 5, 12, E::AlreadyRegistered},
        Row{"EntryAfterExit", "2026/06/15 09:00:00", "2026/06/15 12:00:00", "2026/06/15 12:05:00", 5, 12, E::Entry},
        Row{"SameMinuteCountsAsNotLater", "2026/06/15 12:00:50", "2026/06/15 12:00:10", "2026/06/15 12:30:00", 5, 0, E::Entry},
        Row{"ExitAfterEntry", "2026/06/15 12:00:00", "2026/06/15 09:00:00", "2026/06/15 12:30:00", 5, 12, E::Exit},
        Row{"SameMinuteAsLastInWithTZero", "2026/06/15 12:00:00", "", "2026/06/15 12:00:59", 0, 12, E::AlreadyRegistered},
        Row{"NextMinuteWithTZero", "2026/06/15 12:00:59", "", "2026/06/15 12:01:00", 0, 12, E::Exit},
        Row{"UnreadableLastInStartsAnew", "yesterday", "", "2026/06/15 12:00:00", 5, 0, E::Entry},
        Row{"UnreadableLastOutAfterGapIsEntry", "2026/06/15 09:00:00", "??", "2026/06/15 12:00:00", 5, 12, E::Entry},
        Row{"UnreadableLastOutWithinGap", "2026/06/15 11:58:00", "??", "2026/06/15 12:00:00", 5, 12, E::AlreadyRegistered}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecisionPieces, BoundaryCountsIgnoreWhatIsBelowTheirUnit) {
  EXPECT_EQ(MinuteBoundaries(At("2026/06/15 10:00:59"), At("2026/06/15 10:01:00")), 1);
  EXPECT_EQ(MinuteBoundaries(At("2026/06/15 10:00:00"), At("2026/06/15 10:00:59")), 0);
  EXPECT_EQ(MinuteBoundaries(At("2026/06/15 10:01:00"), At("2026/06/15 10:00:00")), -1);
  EXPECT_EQ(HourBoundaries(At("2026/06/15 10:59:59"), At("2026/06/15 11:00:00")), 1);
  EXPECT_EQ(HourBoundaries(At("2026/06/14 23:00:00"), At("2026/06/16 00:59:00")), 25);
  // Across a month and a year end.
  EXPECT_EQ(MinuteBoundaries(At("2026/12/31 23:59:30"), At("2027/01/01 00:00:10")), 1);
}

TEST(DecisionPieces, StampDigitsAndNames) {
  const QString stamp = EventStamp(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
  EXPECT_EQ(stamp, QStringLiteral("20260102030405"));
  EXPECT_EQ(StampText(stamp), QStringLiteral("2026/01/02 03:04:05"));
  EXPECT_EQ(DigitsOnly(QStringLiteral("12-34")), QStringLiteral("1234"));
  EXPECT_EQ(DigitsOnly(QStringLiteral(" A１2\t")), QStringLiteral("2"));  // full-width digits are no digits here
  EXPECT_EQ(NumberedName(7), QStringLiteral("007"));
  EXPECT_EQ(NumberedName(1234), QStringLiteral("1234"));
  EXPECT_TRUE(ReadStationTime(QStringLiteral("2026/6/5 9:05:00")).isValid());
  EXPECT_FALSE(ReadStationTime(QStringLiteral("2026/13/05 09:05:00")).isValid());
}

TEST(DecisionPieces, RandomPicksCoverOneToCount) {
  double r = 0.0;
  ui::SetRandom([&r] { return r; });
  EXPECT_EQ(RandomPick(3), 1);
  r = 0.999999;
  EXPECT_EQ(RandomPick(3), 3);
  EXPECT_EQ(RandomPick(0), 1);
  EXPECT_EQ(RandomPick(1), 1);
  EXPECT_EQ(RandomPick(-2), 1);
  ui::SetRandom({});
}

TEST(DecisionPieces, PhotoAttachmentSetting) {
  EXPECT_TRUE(SettingIsTrue(QStringLiteral("True")));
  EXPECT_TRUE(SettingIsTrue(QStringLiteral("true")));
  EXPECT_TRUE(SettingIsTrue(QStringLiteral("-1")));
  EXPECT_FALSE(SettingIsTrue(QStringLiteral("False")));
  EXPECT_FALSE(SettingIsTrue(QStringLiteral("")));
  EXPECT_FALSE(SettingIsTrue(QStringLiteral("はい")));
}

}  // namespace
