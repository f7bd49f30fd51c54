#include "admin/TemplateWidgets.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "ui/keys_fonts.h"

void SetUpTemplateDialog(QDialog& dialog, const char* objectName) {
  dialog.setObjectName(QLatin1String(objectName));
  dialog.setWindowTitle(QStringLiteral("送信内容"));
  dialog.setFont(ui::StationFont(9));
  dialog.setModal(true);
}

QLabel* NewSubjectLabel(QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("件名："), parent);
  label->setObjectName(QStringLiteral("lblSubject"));
  return label;
}

QPushButton* NewTemplateButton(QWidget* parent, const char* objectName, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QLatin1String(objectName));
  b->setAutoDefault(false);
  return b;
}

QPlainTextEdit* NewPlaceholderHelp(QWidget* parent) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(QStringLiteral("txtIns"));
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::NoFocus);
  box->setPlainText(QStringLiteral("■挿入文字\n\n名前　：　%名前%\n敬称　：　%敬称%\n日付　：　%日付%\n"
                                   "時間　：　%時間%\n\n※必ず半角\nの%(パーセント）\nで囲ってください\n\n"
                                   "件名、内容のどちらでもお使いいただけます\n"));
  box->setFixedWidth(190);
  return box;
}

QLineEdit* NewSubjectBox(QWidget* parent, const char* objectName) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QLatin1String(objectName));
  box->setAttribute(Qt::WA_InputMethodEnabled, true);
  return box;
}

QPlainTextEdit* NewBodyBox(QWidget* parent, const char* objectName) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(QLatin1String(objectName));
  box->setAttribute(Qt::WA_InputMethodEnabled, true);
  box->setTabChangesFocus(true);
  box->setMinimumSize(420, 260);
  return box;
}
