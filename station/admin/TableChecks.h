#pragma once
// The row checks of the member and message tables, run before either is written: each check in
// its order, the first failure's text returned (the row number first), "" when every row
// passes. The member checks also tidy the rows they pass (IDs and addresses in half-width
// characters, dates as "yyyy/mm/dd", dates with a time as "yyyy/mm/dd hh:mm:ss"); the rows
// tested before a failure keep their tidying.
#include <QDate>
#include <QTime>
#include <QString>

#include <vector>

#include "common/MemberRoster.h"
#include "common/TableRecords.h"

// The date a registration date cell denotes, after the half-width conversion: year, month and
// day separated by "/", "-" or ".", or written with 年, 月 and 日, and optionally a time of day
// after a blank (hh:mm or hh:mm:ss), which goes to `time` (invalid when there is none). Invalid
// when it denotes no date.
QDate ParseRegisterDate(const QString& text, QTime* time = nullptr);

// Checks and tidies `rows` (the member table's rows, row 1 first); `tidied` gets the index of
// each row that the tidying changed. Then looks for a repeated ID.
QString CheckMemberRows(std::vector<RosterMember>& rows, const QDate& today,
                        std::vector<int>* tidied = nullptr);

// Checks and tidies the row of a member about to get a contact mail, in the same way but with an
// address required, no reading required and no ID length: "" or the message (no row number).
QString CheckContactRow(RosterMember& member, const QDate& today);

QString CheckGreetingRows(const std::vector<GreetingRow>& rows);
