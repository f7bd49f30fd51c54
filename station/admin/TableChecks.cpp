#include "admin/TableChecks.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>

#include "codepage/narrow.h"

namespace {

QString RowText(int row, const char16_t* text) { return QString::number(row) + QString::fromUtf16(text); }

bool AllDigits(const QString& text) {
  for (const QChar c : text)
    if (c < u'0' || c > u'9') return false;
  return !text.isEmpty();
}

// Checks and tidies one member; "" when it passes. `head` opens every message. A member about to
// be mailed needs an address but no reading, and its ID length is not looked at.
QString CheckMember(const QString& head, RosterMember& m, const QDate& today, bool forMail) {
  auto fail = [&head](const char16_t* text) { return head + QString::fromUtf16(text); };
  if (m.id.isEmpty()) return fail(u"ＩＤ番号がありません。");
  const QString id = cp::ToHalfWidth(m.id);
  if (!AllDigits(id)) return fail(u"ＩＤ番号に数字以外の文字があります。");
  m.id = id;
  if (!forMail && m.id.size() > 9) return fail(u"ＩＤ番号を9桁以下に設定してください。");
  if (m.name.isEmpty()) return fail(u"利用者名がありません。");
  if (m.honorific.isEmpty()) return fail(u"利用者名の敬称がありません。");
  if (!forMail && m.kana.isEmpty()) return fail(u"かながありません。");
  if (forMail && m.mailAddr.isEmpty()) return fail(u"メールアドレスがありません。");
  m.mailAddr = cp::ToHalfWidth(m.mailAddr);
  if (!m.mailAddr.isEmpty() && !m.mailAddr.contains(u'@')) return fail(u"メールアドレスを確認してください。");
  if (m.date.isEmpty()) m.date = today.toString(QStringLiteral("yyyy/MM/dd"));
  QTime time;
  const QDate date = ParseRegisterDate(m.date, &time);
  if (!date.isValid()) return fail(u"登録日を確認してください。");
  // A date-time keeps its time, in the form the station writes its date-times.
  m.date = time.isValid() ? QDateTime(date, time).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                          : date.toString(QStringLiteral("yyyy/MM/dd"));
  return QString();
}

}  // namespace

QDate ParseRegisterDate(const QString& text, QTime* time) {
  static const QRegularExpression form(QStringLiteral(
      "^\\s*(\\d{4})\\s*(?:[/.\\-]|年)\\s*(\\d{1,2})\\s*(?:[/.\\-]|月)\\s*(\\d{1,2})\\s*日?"
      "(?:\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?\\s*$"));
  if (time) *time = QTime();
  const QRegularExpressionMatch m = form.match(cp::ToHalfWidth(text));
  if (!m.hasMatch()) return QDate();
  const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  if (m.capturedLength(4) == 0) return date;
  const QTime at(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
  if (!at.isValid()) return QDate();
  if (time) *time = at;
  return date;
}

QString CheckMemberRows(std::vector<RosterMember>& rows, const QDate& today, std::vector<int>* tidied) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const RosterMember before = rows[i];
    const QString error = CheckMember(QString::number(i + 1) + QStringLiteral("行目の"), rows[i], today, false);
    const RosterMember& after = rows[i];
    if (tidied && (after.id != before.id || after.mailAddr != before.mailAddr || after.date != before.date))
      tidied->push_back(static_cast<int>(i));
    if (!error.isEmpty()) return error;
  }
  QHash<QString, int> seen;
  seen.reserve(static_cast<qsizetype>(rows.size()));
  for (const RosterMember& m : rows) ++seen[m.id];
  for (const RosterMember& m : rows)
    if (seen.value(m.id) > 1) return m.id + QStringLiteral("のＩＤ番号が重複しています。");
  return QString();
}

QString CheckContactRow(RosterMember& member, const QDate& today) {
  return CheckMember(QString(), member, today, true);
}

QString CheckGreetingRows(const std::vector<GreetingRow>& rows) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].message.isEmpty())
      return RowText(static_cast<int>(i) + 1, u"行目のメッセージに入力がありません。");
  return QString();
}
