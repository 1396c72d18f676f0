#include "link/SerialSpeed.h"

#include <QSerialPort>

#if defined(Q_OS_LINUX)
#include <asm/termbits.h>  // termios2: reads speeds that are not in the Bxxx list
#include <sys/ioctl.h>
#elif defined(Q_OS_WIN)
#include <qt_windows.h>
#else
#include <termios.h>
#endif

namespace tuvik {

namespace {

// The speed the system holds for the open port, or nothing when its state
// cannot be read.
std::optional<int> ReadSystemRate(QSerialPort& port) {
#if defined(Q_OS_LINUX)
    struct termios2 t {};
    if (::ioctl(static_cast<int>(port.handle()), TCGETS2, &t) != 0) {
        return std::nullopt;
    }
    return static_cast<int>(t.c_ospeed);
#elif defined(Q_OS_WIN)
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!::GetCommState(reinterpret_cast<HANDLE>(port.handle()), &dcb)) {
        return std::nullopt;
    }
    return static_cast<int>(dcb.BaudRate);
#else
    struct termios t {};
    if (::tcgetattr(static_cast<int>(port.handle()), &t) != 0) {
        return std::nullopt;
    }
    return static_cast<int>(::cfgetospeed(&t));
#endif
}

}  // namespace

std::optional<LinkError> SetPortBaudRate(QSerialPort& port, int rate) {
    if (!port.isOpen()) {
        return LinkError{kTextPortNotOpen};
    }
    if (!ReadSystemRate(port)) {
        return LinkError{kTextCannotReadState};
    }
    if (rate <= 0 || !port.setBaudRate(rate)) {
        return LinkError{kTextCannotSetRate};
    }
    return std::nullopt;
}

std::optional<int> GetPortBaudRate(QSerialPort& port) {
    return port.isOpen() ? ReadSystemRate(port) : std::nullopt;
}

}  // namespace tuvik
