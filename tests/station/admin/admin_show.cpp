// Shows the settings window alone over a program folder, for looking at it by eye (under Xvfb
// with a screenshot tool):  admin_show FOLDER [--members] [--server] [--bulk]
// The folder must hold the settings file and reach its database through "Pardix".
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "admin/frmMContents.h"
#include "admin/frmSet.h"
#include "common/globals.h"
#include "db/db.h"
#include "support/show_program.h"
#include "wiring.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  db::EnsureUtf8Locale();
  QCommandLineParser parser;
  parser.addPositionalArgument("folder", "program folder");
  parser.addOption({"members", "switch to the member table"});
  parser.addOption({"server", "open the mail server window over it"});
  parser.addOption({"bulk", "open the bulk mail composer and its recipient choice over it"});
  parser.process(app);
  if (parser.positionalArguments().isEmpty()) parser.showHelp(2);
  if (!testsupport::OpenShowFolder(parser.positionalArguments().first())) return 1;
  ConnectWindows();
  frmSet& settings = frmSet::instance();
  settings.show();
  if (parser.isSet("members")) QTimer::singleShot(300, &settings, [&settings] { settings.frmSet_cmdData_Click(); });
  if (parser.isSet("server")) QTimer::singleShot(300, &settings, [&settings] { settings.frmSet_cmdServer_Click(); });
  if (parser.isSet("bulk"))
    QTimer::singleShot(300, &settings, [] {
      gintMailMode = 2;
      QTimer::singleShot(300, [] { frmMContents::instance().cmdOK_Click(); });
      frmMContents::instance().exec();
    });
  return app.exec();
}
