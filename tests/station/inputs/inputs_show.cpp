// Shows the minimized station (restored, so that its grid can be seen) and its result window
// over a program folder, for looking at them by eye (under Xvfb with a screenshot tool):
//   inputs_show FOLDER ID...        every ID is handed to the minimized station's road in turn
//   inputs_show FOLDER --chk ID     the name confirmation for ID; --chkno ID the number check
// The folder must hold the settings file and reach its database through "Pardix".
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "db/db.h"
#include "desk/frmChk.h"
#include "desk/frmChkNo.h"
#include "desk/frmIOMess.h"
#include "desk/frmMin.h"
#include "common/PictureBox.h"
#include "common/globals.h"
#include "support/show_program.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  db::EnsureUtf8Locale();
  QCommandLineParser parser;
  parser.addPositionalArgument("folder", "program folder");
  parser.addOption({"chk", "show the name confirmation", "id"});
  parser.addOption({"chkno", "show the number check", "id"});
  parser.process(app);
  const QStringList args = parser.positionalArguments();
  if (args.isEmpty()) parser.showHelp(2);
  if (!testsupport::OpenShowFolder(args.first())) return 1;
  gintBarConnect = 1;  // no reader here: the IDs come from the command line
  gblnSendMail = false;
  QPixmap picture;
  LoadPicture(gstrAppPath + QStringLiteral("image/image001s.jpg"), picture);
  if (parser.isSet("chk")) {
    gstrSelectedID = parser.value("chk");
    frmChk::instance().imgPic->setPicture(picture);
    frmChk::instance().lblName->setText(QStringLiteral("山田 太郎 さま\nですか？"));
    frmChk::instance().ShowModal();
    return 0;
  }
  if (parser.isSet("chkno")) {
    gstrSelectedID = parser.value("chkno");
    frmChkNo::instance().imgPic->setPicture(picture);
    frmChkNo::instance().lblName->setText(QStringLiteral("山田 太郎 さま\n番号を入力してください"));
    frmChkNo::instance().ShowModal();
    return 0;
  }
  frmMin& form = frmMin::instance();
  if (!frmMin::IsLoaded()) return 1;
  form.show();
  const QStringList ids = args.mid(1);
  QTimer::singleShot(500, &form, [&form, ids] {
    for (const QString& id : ids) form.frmMin_txtID_LostFocus(id);
  });
  return app.exec();
}
