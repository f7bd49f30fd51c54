#include "common/mdlComDlg.h"

#include <QDesktopServices>
#include <QUrl>

#include <QFileDialog>
#include <QFileInfo>

#include "ui/msgbox.h"

namespace {

OpenDialogHook& Hook() {
  static OpenDialogHook hook;
  return hook;
}

OpenDialogHook& SaveHook() {
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

void ApplyFilter(QFileDialog& dialog, const QString& filter) {
  const QStringList filters = NameFilters(filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
}

// Shows `dialog`, or lets `hook` answer it; the chosen file or the empty text.
QString Run(QFileDialog& dialog, const OpenDialogHook& hook) {
  const int answer = hook ? hook(dialog) : dialog.exec();
  if (answer != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace

void SetOpenDialogHook(OpenDialogHook hook) { Hook() = std::move(hook); }

QString ShowOpenDialog(QWidget* owner, const QString& filter, const QString& initialDir) {
  QFileDialog dialog(owner, QStringLiteral("ファイルを開く"), initialDir);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  ApplyFilter(dialog, filter);
  return Run(dialog, Hook());
}

namespace {

// The save dialog asks before it replaces a file, once and in the station's words, in place of
// the question of the dialog's own.
class SaveDialog : public QFileDialog {
 public:
  SaveDialog(QWidget* owner, const QString& caption) : QFileDialog(owner, caption) {
    setOption(QFileDialog::DontConfirmOverwrite);
  }

  void accept() override {
    const QStringList chosen = selectedFiles();
    const QFileInfo file(chosen.value(0));
    if (chosen.size() == 1 && file.isFile() &&
        ui::MsgBox(file.fileName() + QStringLiteral(" は既に存在します。\n上書きしますか?"),
                   ui::vbOKCancel + ui::vbExclamation,
                   QStringLiteral("名前を付けて保存の確認")) != ui::vbOK)
      return;
    QFileDialog::accept();
  }
};

}  // namespace

void SetSaveDialogHook(OpenDialogHook hook) { SaveHook() = std::move(hook); }

QString ShowSaveDialog(QWidget* owner, const QString& filter, const QString& initialPath) {
  SaveDialog dialog(owner, QStringLiteral("名前を付けて保存"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  ApplyFilter(dialog, filter);
  if (QFileInfo(initialPath).isDir())
    dialog.setDirectory(initialPath);
  else if (!initialPath.isEmpty())
    dialog.selectFile(initialPath);
  return Run(dialog, SaveHook());
}

namespace {
std::function<bool(const QString&)>& ShellOpenHook() {
  static std::function<bool(const QString&)> hook;
  return hook;
}
}  // namespace

bool ShellOpen(const QString& target) {
  if (ShellOpenHook()) return ShellOpenHook()(target);
  const QUrl url = target.contains(QStringLiteral("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
  return QDesktopServices::openUrl(url);
}

void SetShellOpenHook(std::function<bool(const QString&)> hook) { ShellOpenHook() = std::move(hook); }
