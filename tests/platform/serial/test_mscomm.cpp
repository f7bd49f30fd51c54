// The serial control over a real pseudo-terminal.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "serial/mscomm.h"
#include "support/support_pty.h"

namespace {

TEST(MSComm, PortNumbersNameDevicesUnlessOverridden) {
  qunsetenv("VELMOR_COMPORT4");
  EXPECT_EQ(serial::DevicePath(1), QString("/dev/ttyS0"));
  EXPECT_EQ(serial::DevicePath(4), QString("/dev/ttyS3"));
  qputenv("VELMOR_COMPORT4", "/dev/ttyUSB0");
  EXPECT_EQ(serial::DevicePath(4), QString("/dev/ttyUSB0"));
  qunsetenv("VELMOR_COMPORT4");
}

TEST(MSComm, SettingsAndPortNumbersAreChecked) {
  serial::MSComm comm;
  EXPECT_TRUE(comm.setSettings("9600,n,8,1"));
  EXPECT_TRUE(comm.setSettings("19200,E,7,2"));
  EXPECT_FALSE(comm.setSettings("9600,x,8,1"));
  EXPECT_FALSE(comm.setSettings("fast"));
  EXPECT_FALSE(comm.setCommPort(0));
  EXPECT_TRUE(comm.setCommPort(2));
  EXPECT_EQ(comm.CommPort(), 2);
}

TEST(MSComm, ReceivedCharactersRaiseReceiveEvents) {
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.UseAsPort(3);
  serial::MSComm comm;
  comm.setCommPort(3);
  comm.setSettings("9600,n,8,1");
  comm.setRThreshold(1);
  ASSERT_TRUE(comm.setPortOpen(true)) << qPrintable(comm.LastError());
  EXPECT_TRUE(comm.PortOpen());
  QByteArray got;
  QObject::connect(&comm, &serial::MSComm::OnComm, [&] {
    if (comm.CommEvent() == serial::comEvReceive) got += comm.Input();
  });
  ASSERT_TRUE(pty.Send("123\r\n"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return got == QByteArray("123\r\n"); }, 5000)) << got.constData();
  comm.setPortOpen(false);
  EXPECT_FALSE(comm.PortOpen());
}

TEST(MSComm, ARefusedPortNumberOpensNoOtherDevice) {
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.UseAsPort(1);
  serial::MSComm comm;
  ASSERT_TRUE(comm.setCommPort(1));
  EXPECT_FALSE(comm.setCommPort(17));
  EXPECT_FALSE(comm.setPortOpen(true));
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_FALSE(comm.LastError().isEmpty());
  // A number it takes opens again.
  ASSERT_TRUE(comm.setCommPort(1));
  EXPECT_TRUE(comm.setPortOpen(true)) << qPrintable(comm.LastError());
  qunsetenv("VELMOR_COMPORT1");
}

TEST(MSComm, AMissingDeviceDoesNotOpen) {
  qputenv("VELMOR_COMPORT9", "/dev/nonexistent-serial");
  serial::MSComm comm;
  comm.setCommPort(9);
  EXPECT_FALSE(comm.setPortOpen(true));
  EXPECT_FALSE(comm.LastError().isEmpty());
  EXPECT_FALSE(comm.PortOpen());
  qunsetenv("VELMOR_COMPORT9");
}

}  // namespace
