#include "link/SerialLink.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#endif

#include "link/Packet.h"
#include "link/SerialSpeed.h"

namespace tuvik {

namespace {

std::span<const uint8_t> Bytes(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}

bool IsWholeNumber(const QString& t) {
    if (t.isEmpty()) {
        return false;
    }
    for (const QChar c : t) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

}  // namespace

SerialLink::SerialLink(QObject* parent) : DeviceLink(parent), port_(this) {
    setObjectName(QStringLiteral("serialLink"));
    port_.setObjectName(QStringLiteral("MSComm1"));
    SetDefaultRequestPeriod(kInitialRequestMs, QStringLiteral("TimerRequestData"));
    SetBrokenPacketText(BrokenPacketText::SerialEnd);
    ApplyLineSettings();

    connect(&port_, &QSerialPort::readyRead, this, &SerialLink::OnReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::OnPortError);
}

SerialLink::~SerialLink() {
    disconnect(&port_, nullptr, this, nullptr);
    if (port_.isOpen()) {
        port_.close();
    }
}

bool SerialLink::PortOpen() const {
    return port_.isOpen();
}

QString SerialLink::PortNameFor(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    const int n = t.toInt(&ok);
    if (IsWholeNumber(t) && ok && n >= 1) {
#ifdef Q_OS_WIN
        return QStringLiteral("COM%1").arg(n);
#else
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
    }
    return t;
}

// Speed, no parity, 8 data bits, 1 stop bit ("57600,n,8,1").
void SerialLink::ApplyLineSettings() {
    port_.setBaudRate(speed_);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
}

void SerialLink::BrokenPacketSeen() {
    quiet_.MarkBroken(clock());
}

// ---- the periodic request -----------------------------------------------------

void SerialLink::OnRequestTick() {
    if (!port_.isOpen()) {
        return;
    }
    // The periodic request is never held back by the quiet time.
    WriteBytes(EncodeRequest(Cmd::DataRequest));
    if (tickRead_) {
        DrainPort();
    } else if (!tickReadFailed_ && requestPeriod() <= kTickReadMaxMs) {
        UpdateReadMode();  // a change of mode put off while a reply was handled
    }
}

void SerialLink::RequestTimerArmed() {
    UpdateReadMode();
}

// ---- opening and closing ----------------------------------------------------

// The port did not open: closed, no request, and the reason in the caption.
std::optional<LinkError> SerialLink::OpenFailed() {
    LinkError e{port_.errorString()};
    if (port_.isOpen()) {
        port_.close();
    }
    SetRefreshTimer(false);
    ReportConnected(false);
    emit portStateChanged(false, e.description);
    return e;
}

std::optional<LinkError> SerialLink::TogglePort(bool poll) {
    if (!port_.isOpen()) {
        opening_ = true;
        const bool ok = port_.open(QIODevice::ReadWrite);
        opening_ = false;
        if (!ok) {
            return OpenFailed();
        }
        port_.clear();
        ResetFraming();  // nothing of an earlier session continues into this one
        tickReadFailed_ = false;
        ReportConnected(true);
        SetRefreshTimer(poll);
    } else {
        ReportConnected(false);
        port_.close();
        SetRefreshTimer(false);
    }
    emit portStateChanged(port_.isOpen(), {});
    return std::nullopt;
}

std::optional<LinkError> SerialLink::OpenPort(const SerialSettings& settings) {
    settings_ = settings;
    return Open(true);
}

std::optional<LinkError> SerialLink::Open(bool poll) {
    if (port_.isOpen()) {
        TogglePort();
    }
    speed_ = kOpenSpeed;
    port_.setPortName(PortNameFor(settings_.port));
    ApplyLineSettings();

    if (auto err = TogglePort(poll)) {
        return err;
    }
    if (auto err = SetPortBaudRate(port_, settings_.speed)) {
        // The port is left closed rather than running at a speed nobody asked for.
        TogglePort();
        emit portStateChanged(false, err->description);
        return err;
    }
    (void)GetPortBaudRate(port_);
    SetRequestPeriod(settings_.refreshMs);
    SetRefreshTimer(poll);
    return std::nullopt;
}

void SerialLink::Disconnect() {
    StopReconnecting();
    SetRequestPeriod(settings_.refreshMs);
    SetRefreshTimer(false);
    if (port_.isOpen()) {
        port_.close();
    }
    ReportConnected(false);
}

std::optional<LinkError> SerialLink::BaudRate(int speed) {
    speed_ = speed;
    if (!port_.isOpen()) {
        ApplyLineSettings();
        return std::nullopt;
    }
    port_.close();
    ApplyLineSettings();
    if (!port_.open(QIODevice::ReadWrite)) {
        return OpenFailed();
    }
    return std::nullopt;
}

void SerialLink::OnPortError(QSerialPort::SerialPortError error) {
    if (opening_ || !port_.isOpen()) {
        return;
    }
    // A pulled adapter or a closed pseudo-terminal peer shows up as a resource
    // or read error that repeats for as long as the port stays open.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError) {
        return;
    }
    const QString why = port_.errorString();
    port_.close();
    port_.clearError();
    // The request stops with the port, but whether it is wanted is kept for
    // the reconnect.
    PauseRequestTimer();
    ReportConnected(false);
    emit portStateChanged(false, why);
    emit linkLost(why);
    StartReconnecting();
}

// The periodic request comes back as it was before the loss, or as it was
// set while the link was down (a window that stops it for its own requests
// may have opened or closed meanwhile).
void SerialLink::TryReopen() {
    const bool poll = RefreshTimerEnabled();
    if (Open(poll)) {
        KeepRefreshWanted(poll);  // a failed attempt is no change of mind
    } else {
        StopReconnecting();
    }
}

// ---- writing ----------------------------------------------------------------

// The port buffers what is written and would send it on a later pass of the
// event loop; handing it to the driver now saves that wake-up per request.
// When nothing is queued in the port, the bytes go to the driver straight
// away (the port's own path costs a buffer and a notifier switched on and
// off for every request); whatever the driver does not take at once, and any
// failure, goes the port's way, which reports errors as it always does.
bool SerialLink::WriteBytes(const QByteArray& bytes, bool through) {
    if (!port_.isOpen() || (lentOut() && !through)) {
        return false;
    }
    qsizetype done = 0;
#ifdef Q_OS_UNIX
    if (port_.bytesToWrite() == 0 && port_.handle() >= 0) {
        ssize_t n = 0;
        do {
            n = ::write(port_.handle(), bytes.constData(), static_cast<size_t>(bytes.size()));
        } while (n < 0 && errno == EINTR);
        done = n > 0 ? n : 0;
        if (done == bytes.size()) {
            TapSent(bytes.constData(), done);
            return true;
        }
    }
#endif
    const qsizetype rest = bytes.size() - done;
    if (port_.write(bytes.constData() + done, rest) != rest) {
        TapSent(bytes.constData(), done);
        return false;
    }
    port_.flush();
    TapSent(bytes.constData(), bytes.size());
    return true;
}

// Waits, handling events, while the quiet time after a broken packet holds.
// Returns false when the link went away meanwhile.
bool SerialLink::WaitQuiet() {
    if (!quiet_.Holding(clock())) {
        return true;
    }
    QPointer<SerialLink> self(this);
    const WriteWait waiting(*this);
    QElapsedTimer guard;
    guard.start();
    while (quiet_.Holding(clock()) && guard.elapsed() < kQuietWaitLimitMs) {
        QEventLoop loop;
        QTimer::singleShot(kQuietPollMs, &loop, &QEventLoop::quit);
        loop.exec();
        if (!self) {
            return false;
        }
    }
    return true;
}

bool SerialLink::Send(int value, bool invert) {
    if (value < 0 || value > 255 || !port_.isOpen() || lentOut()) {
        return false;
    }
    if (!WaitQuiet()) {
        return false;
    }
    const char c = static_cast<char>(invert ? value ^ 0xFF : value);
    return WriteBytes(QByteArray(&c, 1));
}

bool SerialLink::WritePacket(const QByteArray& bytes) {
    if (!port_.isOpen() || lentOut() || !WaitQuiet()) {
        return false;
    }
    return WriteBytes(bytes);
}

bool SerialLink::ReadEE_16bit(int osote, bool paluu) {
    if (paluu || !port_.isOpen()) {
        return false;
    }
    return WriteBytes(EncodeReadWord(static_cast<uint16_t>(osote)));
}

// ---- reading ----------------------------------------------------------------

// The port's own read notifier, when it has one (it is the port's child).
static QSocketNotifier* PortReadNotifier(QSerialPort& port) {
    for (QSocketNotifier* n : port.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly)) {
        if (n->type() == QSocketNotifier::Read) {
            return n;
        }
    }
    return nullptr;
}

void SerialLink::UpdateReadMode() {
#ifdef Q_OS_UNIX
    const bool want = port_.isOpen() && !tickReadFailed_ && requestTimer().isActive() &&
                      requestPeriod() <= kTickReadMaxMs && port_.handle() >= 0 &&
                      (::fcntl(port_.handle(), F_GETFL) & O_NONBLOCK) != 0;
    if (want == tickRead_) {
        return;
    }
    if (!want) {
        LeaveTickRead();
        return;
    }
    if (receiving()) {
        return;  // a handler is running; the next tick or arrival decides
    }
    // What the port has already read goes first, in order.
    OnReadyRead();
    QSocketNotifier* n = PortReadNotifier(port_);
    if (n == nullptr || !port_.isOpen() || port_.bytesAvailable() > 0) {
        return;  // the port reads on its own as before
    }
    n->setEnabled(false);
    tickRead_ = true;
#endif
}

void SerialLink::LeaveTickRead() {
    if (!tickRead_) {
        return;
    }
    tickRead_ = false;
    // The port takes over again from the next pass of the event loop; nothing
    // is left in its own buffer, so the order stays. A closed port has no
    // notifier worth waking.
    if (!port_.isOpen()) {
        return;
    }
    if (QSocketNotifier* n = PortReadNotifier(port_)) {
        n->setEnabled(true);
    }
}

void SerialLink::DrainPort() {
#ifdef Q_OS_UNIX
    if (receiving() || !port_.isOpen()) {
        return;
    }
    char buf[4096];
    bool more = true;
    ReceiveLoop([&]() -> std::span<const uint8_t> {
        while (more && tickRead_ && port_.isOpen()) {
            const ssize_t n = ::read(port_.handle(), buf, sizeof buf);
            if (n > 0) {
                // A short read is what the port held; anything later waits
                // for the next tick.
                more = n == static_cast<ssize_t>(sizeof buf);
                return {reinterpret_cast<const uint8_t*>(buf), static_cast<size_t>(n)};
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            // A serial port set to return at once reads 0 when it holds nothing.
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                // An error (a pulled adapter, a closed peer): the port reads
                // again itself and reports it as it always does.
                tickReadFailed_ = true;
                LeaveTickRead();
            }
            break;
        }
        return {};
    });
#endif
}

void SerialLink::OnReadyRead() {
    QByteArray chunk;
    ReceiveLoop([&]() -> std::span<const uint8_t> {
        if (!port_.isOpen() || port_.bytesAvailable() <= 0) {
            return {};
        }
        chunk = port_.readAll();
        return Bytes(chunk);
    });
}

RecordingInfo SerialLink::ConnectionInfo() const {
    RecordingInfo info;
    info.linkKind = QStringLiteral("serial");
    info.endpoint = PortNameFor(settings_.port);
    info.speed = settings_.speed;
    info.refreshMs = settings_.refreshMs;
    return info;
}

}  // namespace tuvik
