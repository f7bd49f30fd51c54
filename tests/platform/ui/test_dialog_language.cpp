// Qt's own parts of the program's dialogs speak Japanese, as the rest of the program does: the
// buttons of a message box, and the labels and buttons of the (Qt, not native) file dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <sys/stat.h>

#include "support/msgbox_recorder.h"
#include "ui/msgbox.h"

namespace {

QString Label(const QFileDialog& dialog, const char* name) {
  const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
  return label ? label->text() : QStringLiteral("(no %1)").arg(QString::fromLatin1(name));
}

QString AcceptButton(const QFileDialog& dialog) {
  const auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  if (!buttons) return QStringLiteral("(no buttons)");
  const QList<QAbstractButton*> list = buttons->buttons();
  for (QAbstractButton* b : list)
    if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) return b->text();
  return QStringLiteral("(no accept button)");
}

TEST(DialogLanguage, MessageBoxButtonsAreJapanese) {
  ui::SetMsgBoxHook({});  // the real box; the timer below reads it and presses キャンセル
  QStringList texts;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    QAbstractButton* cancel = nullptr;
    for (QAbstractButton* b : box->buttons()) {
      texts << b->text();
      if (box->buttonRole(b) == QMessageBox::RejectRole) cancel = b;
    }
    if (cancel) cancel->click();
    else box->reject();
  });
  poll.start(10);
  const int answer = ui::MsgBox(QStringLiteral("削除しますか?"), ui::vbOKCancel + ui::vbQuestion);
  testsupport::InstallMsgBoxRecorder();
  texts.sort();
  EXPECT_EQ(texts.join(QLatin1Char('|')).toStdString(), "OK|キャンセル");
  EXPECT_EQ(answer, ui::vbCancel);
}

TEST(DialogLanguage, FileDialogsAreJapanese) {
  QFileDialog open(nullptr, QStringLiteral("ファイルを開く"));
  open.setOption(QFileDialog::DontUseNativeDialog);
  open.setAcceptMode(QFileDialog::AcceptOpen);
  EXPECT_EQ(Label(open, "lookInLabel").toStdString(), "アドレス:");
  EXPECT_EQ(Label(open, "fileNameLabel").toStdString(), "ファイル名(&N):");
  EXPECT_EQ(Label(open, "fileTypeLabel").toStdString(), "ファイルの種類:");
  EXPECT_EQ(AcceptButton(open).toStdString(), "開く(&O)");

  QFileDialog save(nullptr, QStringLiteral("名前を付けて保存"));
  save.setOption(QFileDialog::DontUseNativeDialog);
  save.setAcceptMode(QFileDialog::AcceptSave);
  EXPECT_EQ(AcceptButton(save).toStdString(), "保存(&S)");
}

// What Qt keeps of a file dialog (its folder and history) is no file in the user's home.
TEST(DialogLanguage, AFileDialogLeavesTheHomeAlone) {
  const QByteArray kept = QFile::encodeName(QDir::homePath() + QStringLiteral("/.config/QtProject.conf"));
  auto stamp = [&kept] {
    struct stat st {};
    if (::stat(kept.constData(), &st) != 0) return std::string("none");
    return std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  };
  const std::string before = stamp();
  {
    QFileDialog dialog(nullptr, QStringLiteral("ファイルを開く"), QDir::tempPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.show();
    QCoreApplication::processEvents();
    dialog.reject();
  }
  EXPECT_EQ(stamp(), before);
}

}  // namespace
