// Shows the station window alone over a program folder, for looking at it by eye (under Xvfb
// with a screenshot tool):  station_show FOLDER [--camera] [--scan ID --after MS]
// The folder must hold the settings file and reach its database through "Pardix".
#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "db/db.h"
#include "desk/frmMain.h"
#include "common/frmBack.h"
#include "common/globals.h"
#include "support/show_program.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  db::EnsureUtf8Locale();
  QCommandLineParser parser;
  parser.addPositionalArgument("folder", "program folder");
  parser.addOption({"camera", "count one camera"});
  parser.addOption({"scan", "ID typed into the field", "id"});
  parser.addOption({"after", "milliseconds before the ID is typed", "ms", "1500"});
  parser.process(app);
  if (parser.positionalArguments().isEmpty()) parser.showHelp(2);
  if (!testsupport::OpenShowFolder(parser.positionalArguments().first())) return 1;
  gstrUserPsw = QStringLiteral("9999");
  glngCamCount = parser.isSet("camera") ? 1 : 0;
  frmBack::instance();
  frmMain& station = frmMain::instance();
  if (!frmMain::IsLoaded()) return 1;
  station.show();
  station.activateWindow();
  if (parser.isSet("scan")) {
    const QString id = parser.value("scan");
    QTimer::singleShot(parser.value("after").toInt(), &station, [&station, id] {
      station.txtID->setFocus();
      QTest::keyClicks(station.txtID, id);
      QTest::keyClick(station.txtID, Qt::Key_Return);
    });
  }
  return app.exec();
}
