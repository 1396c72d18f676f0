#pragma once
// The name the monitor publishes under: monitor.device_id when set, else
// the host's name and the link's stable name, so that it is known before the
// first connect and stays the same over a firmware update. Nothing the
// controller answers goes into it.

#include <QString>

#include "monitor/MonitorConfig.h"

namespace tuvik::monitor {

// Every character outside [A-Za-z0-9_-] becomes '_'.
QString ReduceDeviceId(const QString& text);

// The link's stable name: for a serial port its entry in byIdDir (the
// /dev/serial/by-id name pointing at it) when there is one, else the port's
// base name; for a relay its host and port.
QString StableLinkName(const LinkConfig& link,
                       const QString& byIdDir = QStringLiteral("/dev/serial/by-id"));

// monitor.device_id, else "<host name>-<stable link name>", reduced.
QString DeviceIdFor(const MonitorConfig& config, const QString& hostName,
                    const QString& byIdDir = QStringLiteral("/dev/serial/by-id"));

}  // namespace tuvik::monitor
