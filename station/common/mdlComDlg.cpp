#include "common/mdlComDlg.h"

#include <QFileDialog>

namespace {

OpenDialogHook& Hook() {
  static OpenDialogHook hook;
  return hook;
}

// "desc\0pat;pat\0desc\0pat\0\0" as {"desc (pat pat)", "desc (pat)"}.
QStringList NameFilters(const QString& filter) {
  if (filter.isEmpty()) return {};
  if (!filter.contains(QChar(0))) return filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
  const QStringList parts = filter.split(QChar(0));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    patterns.removeAll(QString());
    if (description.isEmpty() && patterns.isEmpty()) break;  // the closing double NUL
    if (patterns.isEmpty()) continue;
    filters << (description.isEmpty() ? QString() : description + QLatin1Char(' ')) +
                   QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

}  // namespace

void SetOpenDialogHook(OpenDialogHook hook) { Hook() = std::move(hook); }

QString ShowOpenDialog(QWidget* owner, const QString& filter, const QString& initialDir) {
  QFileDialog dialog(owner, QStringLiteral("ファイルを開く"), initialDir);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  const QStringList filters = NameFilters(filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);

  const int answer = Hook() ? Hook()(dialog) : dialog.exec();
  if (answer != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.first();
}
