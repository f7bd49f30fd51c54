#include "admin/TableChecks.h"

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

// Checks one member row; "" when it passes.
QString CheckMember(int row, RosterMember& m, const QDate& today) {
  if (m.id.isEmpty()) return RowText(row, u"行目のＩＤ番号がありません。");
  const QString id = cp::ToHalfWidth(m.id);
  if (!AllDigits(id)) return RowText(row, u"行目のＩＤ番号に数字以外の文字があります。");
  m.id = id;
  if (m.id.size() > 9) return RowText(row, u"行目のＩＤ番号を9桁以下に設定してください。");
  if (m.name.isEmpty()) return RowText(row, u"行目の利用者名がありません。");
  if (m.honorific.isEmpty()) return RowText(row, u"行目の利用者名の敬称がありません。");
  if (m.kana.isEmpty()) return RowText(row, u"行目のかながありません。");
  m.mailAddr = cp::ToHalfWidth(m.mailAddr);
  if (!m.mailAddr.isEmpty() && !m.mailAddr.contains(u'@'))
    return RowText(row, u"行目のメールアドレスを確認してください。");
  if (m.date.isEmpty()) m.date = today.toString(QStringLiteral("yyyy/MM/dd"));
  const QDate date = ParseRegisterDate(m.date);
  if (!date.isValid()) return RowText(row, u"行目の登録日を確認してください。");
  m.date = date.toString(QStringLiteral("yyyy/MM/dd"));
  return QString();
}

}  // namespace

QDate ParseRegisterDate(const QString& text) {
  static const QRegularExpression form(
      QStringLiteral("^\\s*(\\d{4})\\s*(?:[/.\\-]|年)\\s*(\\d{1,2})\\s*(?:[/.\\-]|月)\\s*(\\d{1,2})\\s*日?\\s*$"));
  const QRegularExpressionMatch m = form.match(cp::ToHalfWidth(text));
  if (!m.hasMatch()) return QDate();
  return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

QString CheckMemberRows(std::vector<RosterMember>& rows, const QDate& today, std::vector<int>* tidied) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const RosterMember before = rows[i];
    const QString error = CheckMember(static_cast<int>(i) + 1, rows[i], today);
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

QString CheckGreetingRows(const std::vector<GreetingRow>& rows) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].message.isEmpty())
      return RowText(static_cast<int>(i) + 1, u"行目のメッセージに入力がありません。");
  return QString();
}
