#pragma once
// Connection of the network drive configured for the station.
#include <QString>

// Mounts the share `sharePath` (\\server\share) on the folder `localName` as `userName` with
// `password`. Returns 0 when connected, 85 when something is mounted on that folder already, and
// another code (see netdrive/netdrive.h) when the connection failed.
int ConnectNetDrive(const QString& localName, const QString& sharePath, const QString& userName,
                    const QString& password);
