#pragma once
// What the benchmark programs share: a station database filled to its intended size, and the
// main every program runs.
#include <QString>

#include <functional>
#include <memory>

namespace testsupport {
class ProgramFolder;
}

namespace benchsupport {

// The intended size: 100,000 members and 1,000,000 history rows.
constexpr int kMembers = 100000;
constexpr int kHistory = 1000000;

// The ID of the member with this index (0 to members - 1): nine digits from 100000000.
QString MemberId(int index);

// Fills the station database file directly through SQLite (a bulk load is not what is measured):
// `members` members, then `history` rows written in time order as the station writes them: 33
// months from January 2024 of about 30,300 rows each (28 days a month, about 1,080 events a
// day), entries and exits in turn, every member named equally often.
void FillStationDatabase(const QString& databaseFile, int members = kMembers, int history = kHistory);

// A program folder whose station database is filled to the intended size and opened as gcnDB().
// Nothing (the driver's text on the standard error) when it cannot be opened.
std::unique_ptr<testsupport::ProgramFolder> OpenFilledStation();

// A program folder with a quiet station's settings (`extraSettings` merged over them, see
// ProgramFolder::WriteSettings) loaded, and its empty station database opened as gcnDB().
// Nothing (the reason on the standard error) when the settings do not load.
std::unique_ptr<testsupport::ProgramFolder> OpenStationFolder(const QString& extraSettings = QString());

// The same rows as text for a COPY ... FROM STDIN of a database server (tab-separated, one row a
// line): the members' ID, UserName, UserAdd, NameKana, MailName, MailAddr, "Date", "Update",
// LastIn, LastOut, and the history's ID, IOName, inDate, inTime, imgFile.
QByteArray MemberCopyRows(int members = kMembers);
QByteArray HistoryCopyRows(int members = kMembers, int history = kHistory);

// The main of a benchmark program: a QApplication (offscreen unless QT_QPA_PLATFORM names a
// platform), a UTF-8 character type, the benchmark flags read, then `setup` (a false from it
// ends the program with 1), the benchmarks, and `teardown`.
int RunBenchmarks(int argc, char** argv, const std::function<bool()>& setup = {},
                  const std::function<void()>& teardown = {});

}  // namespace benchsupport
