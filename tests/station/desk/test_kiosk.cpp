// The built program on a real X display without a window manager, as a kiosk runs it: started
// from its program folder, logged in and scanned by typing from outside (xdotool), ended by the
// signals a shutdown or Ctrl+C sends.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "db/db.h"
#include "common/globals.h"
#include "support/support_display.h"
#include "support/support_program.h"
#include "support/support_servers.h"

namespace {

class KioskStation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display_.Start()) << display_.Error().toStdString();
    for (int id = 1001; id <= 1006; ++id)
      members_ << QString::number(id);
  }
  void TearDown() override {
    for (QProcess* p : {&station_, &second_})
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(5000);
      }
  }

  // The program folder with a keyboard-like reader (and `extra` settings), its members and the
  // program itself.
  void Prepare(const QString& extra = QString()) {
    folder_.WriteSettings(QStringLiteral("[SYSTEM]\nbarcode=True\nbarconnect=1\n") + extra);
    folder_.CreateDatabase();
    for (const QString& id : members_)
      folder_.AddMember(id, QStringLiteral("会員") + id, QStringLiteral("さま"), QString(), id + QStringLiteral("@example.jp"));
    gcnDB().Close();
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMOR_BIN), folder_.Path() + QStringLiteral("Velmor")));
  }

  void Launch(QProcess& p) {
    QProcessEnvironment env = display_.Environment(QProcessEnvironment::systemEnvironment());
    env.insert(QStringLiteral("VELMOR_SOUND_SINK"), QStringLiteral("fakesink"));
    env.insert(QStringLiteral("VELMOR_COM_REGISTRY"), folder_.Path() + QStringLiteral("no-registry.json"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(folder_.Path() + QStringLiteral("Velmor"));
    ASSERT_TRUE(p.waitForStarted(10000));
  }

  // Starts the station and logs in with the station user's password; returns once the station
  // window is up over its backdrop.
  void StartStation() {
    Launch(station_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !display_.Windows(QStringLiteral("^ログイン$")).isEmpty(); }, 20000));
    const QString login = display_.Windows(QStringLiteral("^ログイン$")).value(0);
    ASSERT_FALSE(display_.Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), login}).isNull());
    ASSERT_TRUE(display_.TypeLine(QStringLiteral("9999")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return display_.Windows(QStringLiteral("^Velmor$")).size() == 1; }, 20000))
        << LogLines().join('\n').toStdString();
    QTest::qWait(300);
  }

  // Moves the pointer to the corner of the bare screen, away from every window, where it stays
  // once xdotool has gone.
  void PointerToCorner() const {
    ASSERT_FALSE(display_.Xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QStringLiteral("5")}).isNull());
    ASSERT_EQ(display_.Xdotool({QStringLiteral("getmouselocation")}).section(QLatin1Char(' '), 0, 1).toStdString(),
              "x:5 y:5");
  }

  // Waits until a window whose name matches `pattern` holds the keyboard focus of the display.
  bool WaitFocused(const QString& pattern) const {
    return QTest::qWaitFor([&] {
      const QString focus = display_.Xdotool({QStringLiteral("getwindowfocus"), QStringLiteral("-f")}).trimmed();
      return !focus.isEmpty() && display_.Windows(pattern).contains(focus);
    }, 20000);
  }

  // Presses キャンセル, the last button in the settings window's bottom right corner, and waits
  // until the window is gone.
  void CancelSettings() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !display_.Windows(QStringLiteral("の設定$")).isEmpty(); }, 20000))
        << LogLines().join('\n').toStdString();
    const QString settings = display_.Windows(QStringLiteral("の設定$")).value(0);
    const QString shape = display_.Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), settings});
    const int width = shape.section(QStringLiteral("WIDTH="), 1).section(QLatin1Char('\n'), 0, 0).toInt();
    const int height = shape.section(QStringLiteral("HEIGHT="), 1).section(QLatin1Char('\n'), 0, 0).toInt();
    ASSERT_GT(width, 100) << shape.toStdString();
    ASSERT_FALSE(display_.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), settings,
                                   QString::number(width - 30), QString::number(height - 20),
                                   QStringLiteral("click"), QStringLiteral("1")}).isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return display_.Windows(QStringLiteral("の設定$")).isEmpty(); }, 20000))
        << LogLines().join('\n').toStdString();
  }

  // IDs recorded so far, in order.
  QStringList Recorded() const {
    db::Connection connection;
    if (!connection.Open(QStringLiteral("Pardix"), QString(), QString())) return {};
    db::Recordset rs;
    QStringList ids;
    if (rs.Open(connection, QStringLiteral("select ID from tblHist order by SEQ")))
      for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) ids << rs.Text(QStringLiteral("ID"));
    rs.Close();
    connection.Close();
    return ids;
  }
  bool WaitRecorded(int count) const {
    return QTest::qWaitFor([&] { return Recorded().size() >= count; }, 15000);
  }

  QStringList LogLines() const { return folder_.LogLines(); }

  testsupport::VirtualDisplay display_;
  testsupport::ProgramFolder folder_;
  QProcess station_;
  QProcess second_;
  QStringList members_;
};

TEST_F(KioskStation, AShutdownSignalEndsTheStationAsItsExitDoes) {
  // A mail server that takes the connection and never says a word (the kernel accepts for a
  // listener that never reads), on a port the settings' 16-bit value can name.
  struct Listener {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ~Listener() { ::close(fd); }
  } silent;
  ASSERT_GE(silent.fd, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int port = testsupport::UnusedSettingsPort();
  address.sin_port = htons(static_cast<uint16_t>(port));
  ASSERT_EQ(::bind(silent.fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << port;
  ASSERT_EQ(::listen(silent.fd, 16), 0);
  Prepare(QStringLiteral("isserver=False\n[MAIL]\nsendMail=True\nmailserver=127.0.0.1\nmailreg=0\nport=") +
          QString::number(port) + QLatin1Char('\n'));
  int scanned = 0;
  for (const int signo : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signo == SIGTERM ? "SIGTERM" : "SIGINT");
    StartStation();
    // Three members whose notifications wait on a server that never answers.
    const QStringList ids = members_.mid(scanned, 3);
    for (const QString& id : ids) ASSERT_TRUE(display_.TypeLine(id));
    scanned += 3;
    ASSERT_TRUE(WaitRecorded(scanned)) << Recorded().join(' ').toStdString();
    ::kill(static_cast<pid_t>(station_.processId()), signo);
    // It ends within a few seconds: the wait on the silent server ends with it. In the sanitizer
    // build the leak check at its exit follows, weighing the SQLite driver's losses of each
    // connect against the suppressions, which alone takes 6 to 14 s.
#if defined(__SANITIZE_ADDRESS__)
    ASSERT_TRUE(station_.waitForFinished(60000));
#else
    ASSERT_TRUE(station_.waitForFinished(10000));
#endif
    EXPECT_EQ(station_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(station_.exitCode(), 0);
    // Each notification not sent is given up with its line.
    for (const QString& id : ids)
      EXPECT_EQ(LogLines().count(id + QStringLiteral(" - 通知,中止")), 1) << id.toStdString() << "\n"
                                                                           << LogLines().join('\n').toStdString();
  }
}

TEST_F(KioskStation, ScansTypedWhereverThePointerRestsAreRecorded) {
  Prepare();
  StartStation();
  ASSERT_TRUE(display_.TypeLine(QStringLiteral("1001")));
  ASSERT_TRUE(WaitRecorded(1));
  // A second start of the program shows its message, which is answered: its window comes and
  // goes, and with no window manager nobody holds the keyboard afterwards.
  Launch(second_);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !display_.Windows(QStringLiteral("^ロードエラー$")).isEmpty(); }, 20000));
  ASSERT_FALSE(display_.Xdotool({QStringLiteral("key"), QStringLiteral("Return")}).isNull());
  ASSERT_TRUE(second_.waitForFinished(10000));
  // The pointer rests on the backdrop (the station window is centred on a larger screen).
  ASSERT_NO_FATAL_FAILURE(PointerToCorner());
  ASSERT_TRUE(display_.TypeLine(QStringLiteral("1002")));
  ASSERT_TRUE(display_.TypeLine(QStringLiteral("1003")));
  WaitRecorded(3);
  EXPECT_EQ(Recorded().join(' '), QStringLiteral("1001 1002 1003")) << LogLines().join('\n').toStdString();
}

TEST_F(KioskStation, TheLoginTakesTheKeyboardWhereverThePointerRests) {
  Prepare();
  // The pointer rests on the bare screen, away from the windows, at the start and back from the
  // administration: the password typed goes to the login all the same.
  ASSERT_NO_FATAL_FAILURE(PointerToCorner());
  Launch(station_);
  ASSERT_TRUE(WaitFocused(QStringLiteral("^ログイン$"))) << LogLines().join('\n').toStdString();
  ASSERT_TRUE(display_.TypeLine(QStringLiteral("admin")));
  ASSERT_NO_FATAL_FAILURE(CancelSettings());
  ASSERT_NO_FATAL_FAILURE(PointerToCorner());
  ASSERT_TRUE(WaitFocused(QStringLiteral("^ログイン$"))) << LogLines().join('\n').toStdString();
  ASSERT_TRUE(display_.TypeLine(QStringLiteral("9999")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return display_.Windows(QStringLiteral("^Velmor$")).size() == 1; }, 20000))
      << LogLines().join('\n').toStdString();
}

TEST_F(KioskStation, TheLoginTakesTheKeyboardBackAfterTheCameraQuestion) {
  // No camera: every login asks first, at the start and back from the administration. The box
  // is answered with Enter, the pointer resting on the bare screen; the password typed next goes
  // to the login.
  Prepare(QStringLiteral("[IMAGE]\ncam=True\n"));
  ASSERT_NO_FATAL_FAILURE(PointerToCorner());
  Launch(station_);
  for (const QString& password : {QStringLiteral("admin"), QStringLiteral("9999")}) {
    SCOPED_TRACE(password.toStdString());
    ASSERT_TRUE(WaitFocused(QStringLiteral("^ハードウェアの確認$"))) << LogLines().join('\n').toStdString();
    ASSERT_FALSE(display_.Xdotool({QStringLiteral("key"), QStringLiteral("Return")}).isNull());
    ASSERT_TRUE(WaitFocused(QStringLiteral("^ログイン$"))) << LogLines().join('\n').toStdString();
    ASSERT_TRUE(display_.TypeLine(password));
    if (password != QStringLiteral("admin")) break;
    ASSERT_NO_FATAL_FAILURE(CancelSettings());
    ASSERT_NO_FATAL_FAILURE(PointerToCorner());
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return display_.Windows(QStringLiteral("^Velmor$")).size() == 1; }, 20000))
      << LogLines().join('\n').toStdString();
}

}  // namespace
