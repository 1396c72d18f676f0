#pragma once
// Port speed through the operating system's own view of the open port, so
// that speeds outside the usual list (76800) can be set and read back: the
// termios2 request on Linux, the device control block on Windows, termios
// elsewhere.

#include <QString>

#include <optional>

#include "link/LinkError.h"

class QSerialPort;

namespace tuvik {

inline const QString kTextPortNotOpen =
    QStringLiteral("Operation valid only when the port is open");
inline const QString kTextCannotSetRate =
    QStringLiteral("Could not set port to specified baud rate");
inline const QString kTextCannotReadState =
    QStringLiteral("Could not read current state of the port");

// Sets the open port's speed; on failure the reason: the port is closed, its
// state cannot be read, or it refuses the speed.
std::optional<LinkError> SetPortBaudRate(QSerialPort& port, int rate);

// The speed the operating system has for the open port; nothing when the
// port is closed or its state cannot be read.
std::optional<int> GetPortBaudRate(QSerialPort& port);

}  // namespace tuvik
