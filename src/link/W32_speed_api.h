#pragma once
// Port speed through the operating system's own view of the open port, so
// that speeds outside the usual list (76800) can be set and read back.

#include <QString>

#include <optional>

#include "link/LinkError.h"

class QSerialPort;

namespace tuvik {

inline constexpr int kErrPortNotOpen = 8018;
inline constexpr int kErrCannotSetRate = 8015;
inline constexpr int kErrCannotReadState = 8021;

inline const QString kTextPortNotOpen =
    QStringLiteral("Operation valid only when the port is open");
inline const QString kTextCannotSetRate =
    QStringLiteral("Could not set port to specified baud rate");
inline const QString kTextCannotReadState =
    QStringLiteral("Could not read current state of the port");

// Sets the open port's speed. Errors 8018 (port closed), 8021 (state not
// readable), 8015 (speed refused), each naming the port as its source.
std::optional<LinkError> SetPortBaudRate(QSerialPort& port, int rate);

struct BaudRateReading {
    int rate = 0;
    std::optional<LinkError> error;
};
// The speed the operating system has for the open port. Errors 8018, 8021.
BaudRateReading GetPortBaudRate(QSerialPort& port);

}  // namespace tuvik
