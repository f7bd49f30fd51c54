#pragma once
// The mail templates: a subject in the settings file (section MAIL) and a body file in the
// program folder for each of the entry notice, the exit notice, the contact mail and the bulk
// mail. Bodies are CP932 text with CR LF line ends; the windows keep them in plain text boxes.
#include <QList>
#include <QPlainTextEdit>
#include <QString>

struct MailTemplate {
  const char* subjectKey;  // key in section MAIL
  QString* subject;        // the program-wide value loaded from it
  const char* bodyFile;    // file in the program folder
};

extern const MailTemplate kEntryTemplate;    // inSubject, Velmor.txt
extern const MailTemplate kExitTemplate;     // otSubject, otMail.txt
extern const MailTemplate kContactTemplate;  // sptSubject, sptMail.txt
extern const MailTemplate kBulkTemplate;     // allSubject, allMail.txt

// The full path of a template's body file.
QString TemplateBodyPath(const MailTemplate& t);

// A hidden template box named objectName.
QPlainTextEdit* NewMailTemplateBox(QWidget* parent, const QString& objectName);

// The text of a template box as the mail wants it: lines joined by CR LF.
QString MailTemplateText(const QPlainTextEdit* box);

// Reads a body file into the box line by line (a line ends at CR LF, CR or LF; the lines are
// joined without a final line end). False when the file cannot be read, and the box keeps its
// text; a file without lines leaves the box as it was too, and gives true.
bool LoadTextFile(const QString& path, QPlainTextEdit* box);

// Writes the box's text and one CR LF into the file, which is replaced whole or not at all.
// False when the file could not be written or the text holds a character CP932 cannot; `error`
// gets the file and why.
bool SaveTextFile(const QString& path, const QPlainTextEdit* box, QString* error = nullptr);

// One template as a window saves it.
struct TemplateEdit {
  const MailTemplate* which;
  QString subject;
  const QPlainTextEdit* body;
};

// Saves templates: every body file first, then the subjects (the key and then the program-wide
// value), so that a body that could not be written leaves the subjects as they were. A failure
// is shown ("送信内容を保存できませんでした。", the file and why) and gives false.
bool SaveMailTemplates(const QList<TemplateEdit>& edits);
