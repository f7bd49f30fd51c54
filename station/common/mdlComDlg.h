#pragma once
// The file-open and file-save dialogs.
#include <QString>

#include <functional>

class QFileDialog;
class QWidget;

// Asks the user for an existing file with a modal file-open dialog titled "ファイルを開く",
// owned by `owner`, starting in `initialDir`. `filter` is a list of description and pattern pairs
// separated by NUL characters ("JPEG\0*.jpg;*.jpeg\0All\0*.*\0"); a filter without NUL
// characters is taken as a dialog name filter list separated by ";;". Returns the full path of
// the chosen file, or the empty text when the user cancels.
QString ShowOpenDialog(QWidget* owner, const QString& filter, const QString& initialDir);

// A hook that plays the user instead of showing the dialog: it gets the dialog, set up and not
// shown, may choose a file on it, and returns QDialog::Accepted or QDialog::Rejected. An empty
// hook restores the real dialog.
using OpenDialogHook = std::function<int(QFileDialog& dialog)>;
void SetOpenDialogHook(OpenDialogHook hook);

// Asks the user for the name of a file to write with a modal save dialog titled "名前を付けて保存",
// owned by `owner`, with `filter` as above, starting on `initialPath` (a file name chosen before,
// or a folder). Replacing an existing file is asked once, "<name> は既に存在します。\n上書きしますか?"
// (title "名前を付けて保存の確認", OK and Cancel; Cancel goes back to the dialog); no extension
// is added. Returns the full path, or the empty text when the user cancels.
QString ShowSaveDialog(QWidget* owner, const QString& filter, const QString& initialPath);

// The same kind of hook for the save dialog.
void SetSaveDialogHook(OpenDialogHook hook);

// Opens a web address, a document or a folder (a local path) with the desktop's program for it,
// without waiting for it; true when one was started.
bool ShellOpen(const QString& target);
// A hook that stands for the desktop (tests): it gets the target and answers as ShellOpen would.
void SetShellOpenHook(std::function<bool(const QString&)> hook);
