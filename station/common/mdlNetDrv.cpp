#include "common/mdlNetDrv.h"

#include "netdrive/netdrive.h"

int ConnectNetDrive(const QString& localName, const QString& sharePath, const QString& userName,
                    const QString& password) {
  return netdrive::AddConnection(localName, sharePath, userName, password);
}
