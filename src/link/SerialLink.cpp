#include "link/SerialLink.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#endif

#include "link/Packet.h"
#include "link/W32_speed_api.h"
#include "shell/AppContext.h"
#include "support/LocaleText.h"
#include "support/Numbers.h"

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

SerialLink::SerialLink(AppContext& ctx, QObject* parent)
    : DeviceLink(parent), ctx_(ctx), port_(this), requestTimer_(this), clock_(&QTime::currentTime) {
    setObjectName(QStringLiteral("frmRS232"));
    port_.setObjectName(QStringLiteral("MSComm1"));
    requestTimer_.setObjectName(QStringLiteral("TimerRequestData"));
    requestTimer_.setInterval(kInitialRequestMs);
    ApplySettingsText();

    connect(&requestTimer_, &QTimer::timeout, this, &SerialLink::OnRequestTick);
    connect(&port_, &QSerialPort::readyRead, this, &SerialLink::OnReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::OnPortError);
    // Broken-packet lines belong in the main window's title bar.
    connect(this, &DeviceLink::captionRequested, &ctx_, &AppContext::setMainCaption);
}

SerialLink::~SerialLink() {
    disconnect(&port_, nullptr, this, nullptr);
    requestTimer_.stop();
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

QString SerialLink::SettingsText() const {
    return QStringLiteral("%1,n,8,1").arg(speed_);
}

void SerialLink::ApplySettingsText() {
    port_.setBaudRate(speed_);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
}

void SerialLink::SetClock(std::function<QTime()> clock) {
    clock_ = clock ? std::move(clock) : std::function<QTime()>(&QTime::currentTime);
    quiet_.SetWallClock(clock_);
}

void SerialLink::SetWindowCaption(const QString& text) {
    caption_ = text;
    emit windowCaptionChanged(text);
}

QString SerialLink::ErrorCaption(const QString& description) const {
    return TimeText(clock_()) + QStringLiteral("  Error ") + description;
}

// ---- request timer ----------------------------------------------------------

void SerialLink::SetRequestInterval(int ms) {
    requestIntervalMs_ = ms;
    requestTimer_.setInterval(ms > 0 ? ms : kInitialRequestMs);
    ArmRequestTimer();
}

// A period of 0 or less means the timer never ticks, as with a stopped timer.
void SerialLink::ArmRequestTimer() {
    if (refreshEnabled_ && requestIntervalMs_ > 0) {
        if (!requestTimer_.isActive()) {
            requestTimer_.start();
        }
    } else {
        requestTimer_.stop();
    }
    UpdateReadMode();
}

void SerialLink::SetRefreshTimer(bool enabled) {
    refreshEnabled_ = enabled;
    ArmRequestTimer();
}

bool SerialLink::RefreshTimerEnabled() const {
    return refreshEnabled_;
}

void SerialLink::OnRequestTick() {
    if (!port_.isOpen()) {
        return;
    }
    // The periodic request is never held back by the quiet time.
    WriteBytes(EncodeRequest(Cmd::DataRequest));
    if (tickRead_) {
        DrainPort();
    } else if (!tickReadFailed_ && requestIntervalMs_ <= kTickReadMaxMs) {
        UpdateReadMode();  // a change of mode put off while a reply was handled
    }
}

// ---- opening and closing ----------------------------------------------------

std::optional<LinkError> SerialLink::TogglePort(bool poll) {
    if (!port_.isOpen()) {
        opening_ = true;
        const bool ok = port_.open(QIODevice::ReadWrite);
        opening_ = false;
        if (!ok) {
            LinkError e{static_cast<int>(port_.error()), port_.errorString(), port_.objectName()};
            if (port_.isOpen()) {
                port_.close();
            }
            SetRefreshTimer(false);
            ctx_.setLinkConnected(false);
            SetWindowCaption(ErrorCaption(e.description));
            return e;
        }
        port_.clear();
        rx_.Reset();  // nothing of an earlier session continues into this one
        tickReadFailed_ = false;
        ctx_.setLinkConnected(true);
        SetRefreshTimer(poll);
        emit connectionChanged(true);
    } else {
        ctx_.setLinkConnected(false);
        port_.close();
        SetRefreshTimer(false);
        emit connectionChanged(false);
    }
    SetWindowCaption(QStringLiteral("Connect ") +
                     (ctx_.LinkConnected() ? QStringLiteral("True") : QStringLiteral("False")));
    return std::nullopt;
}

std::optional<LinkError> SerialLink::OpenPort() {
    return Open(true);
}

std::optional<LinkError> SerialLink::Open(bool poll) {
    if (port_.isOpen()) {
        TogglePort();
    }
    const LinkSettingsSource* s = ctx_.linkSettings();
    const QString portText = s ? s->ComPortText() : QString();
    const QString speedText = s ? s->SpeedText() : QString();
    const QString refreshText = s ? s->RefreshText() : QString();

    const QString name = PortNameFor(portText);
    comPortNumber_ = IsWholeNumber(portText.trimmed()) ? portText.trimmed().toInt() : 0;
    speed_ = kOpenSpeed;
    port_.setPortName(name);
    ApplySettingsText();

    if (auto err = TogglePort(poll)) {
        return err;
    }
    if (auto err = SetPortBaudRate(port_, TextToWholeNumber(speedText))) {
        // The port is left closed rather than running at a speed nobody asked for.
        TogglePort();
        SetWindowCaption(ErrorCaption(err->description));
        return err;
    }
    (void)GetPortBaudRate(port_);
    ctx_.setLinkConnected(true);
    SetRequestInterval(TextToWholeNumber(refreshText));
    SetRefreshTimer(poll);
    return std::nullopt;
}

void SerialLink::Disconnect() {
    StopReconnecting();
    if (const LinkSettingsSource* s = ctx_.linkSettings()) {
        SetRequestInterval(TextToWholeNumber(s->RefreshText()));
    }
    SetRefreshTimer(false);
    const bool wasOpen = port_.isOpen();
    if (wasOpen) {
        port_.close();
    }
    ctx_.setLinkConnected(false);
    if (wasOpen) {
        emit connectionChanged(false);
    }
}

std::optional<LinkError> SerialLink::BaudRate(int speed) {
    speed_ = speed;
    if (!port_.isOpen()) {
        ApplySettingsText();
        return std::nullopt;
    }
    port_.close();
    ApplySettingsText();
    if (!port_.open(QIODevice::ReadWrite)) {
        LinkError e{static_cast<int>(port_.error()), port_.errorString(), port_.objectName()};
        SetRefreshTimer(false);
        ctx_.setLinkConnected(false);
        SetWindowCaption(ErrorCaption(e.description));
        emit connectionChanged(false);
        return e;
    }
    return std::nullopt;
}

std::optional<LinkError> SerialLink::comPort(int number) {
    comPortNumber_ = number;
    const QString name = PortNameFor(QString::number(number));
    if (!port_.isOpen()) {
        port_.setPortName(name);
        return std::nullopt;
    }
    port_.close();
    port_.setPortName(name);
    if (!port_.open(QIODevice::ReadWrite)) {
        LinkError e{static_cast<int>(port_.error()), port_.errorString(), port_.objectName()};
        SetRefreshTimer(false);
        ctx_.setLinkConnected(false);
        SetWindowCaption(ErrorCaption(e.description));
        emit connectionChanged(false);
        return e;
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
    requestTimer_.stop();
    UpdateReadMode();
    ctx_.setLinkConnected(false);
    SetWindowCaption(ErrorCaption(why));
    emit linkLost(why);
    emit connectionChanged(false);
    StartReconnecting();
}

// The periodic request comes back as it was before the loss, or as it was
// set while the link was down (a window that stops it for its own requests
// may have opened or closed meanwhile).
void SerialLink::TryReopen() {
    const bool poll = refreshEnabled_;
    if (Open(poll)) {
        refreshEnabled_ = poll;  // a failed attempt is no change of mind
    } else {
        StopReconnecting();
    }
}

// ---- writing ----------------------------------------------------------------

bool SerialLink::WriteByte(uint8_t b) {
    const char c = static_cast<char>(b);
    return WriteBytes(QByteArray(&c, 1));
}

// The port buffers what is written and would send it on a later pass of the
// event loop; handing it to the driver now saves that wake-up per request.
// When nothing is queued in the port, the bytes go to the driver straight
// away (the port's own path costs a buffer and a notifier switched on and
// off for every request); whatever the driver does not take at once, and any
// failure, goes the port's way, which reports errors as it always does.
bool SerialLink::WriteBytes(const QByteArray& bytes) {
    if (!port_.isOpen()) {
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
            return true;
        }
    }
#endif
    const qsizetype rest = bytes.size() - done;
    if (port_.write(bytes.constData() + done, rest) != rest) {
        return false;
    }
    port_.flush();
    return true;
}

// Waits, handling events, while the quiet time after a broken packet holds.
// Returns false when the link went away meanwhile.
bool SerialLink::WaitQuiet() {
    if (!quiet_.Holding()) {
        return true;
    }
    QPointer<SerialLink> self(this);
    QElapsedTimer guard;
    guard.start();
    while (quiet_.Holding() && guard.elapsed() < kQuietWaitLimitMs) {
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
    if (value < 0 || value > 255 || !port_.isOpen()) {
        return false;
    }
    if (!WaitQuiet()) {
        return false;
    }
    return WriteByte(static_cast<uint8_t>(invert ? value ^ 0xFF : value));
}

bool SerialLink::WritePacket(const QByteArray& bytes) {
    if (!port_.isOpen() || !WaitQuiet()) {
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

// ---- receiving --------------------------------------------------------------

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
    const bool want = port_.isOpen() && !tickReadFailed_ && requestTimer_.isActive() &&
                      requestIntervalMs_ <= kTickReadMaxMs && port_.handle() >= 0 &&
                      (::fcntl(port_.handle(), F_GETFL) & O_NONBLOCK) != 0;
    if (want == tickRead_) {
        return;
    }
    if (!want) {
        LeaveTickRead();
        return;
    }
    if (inReceive_) {
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
    if (inReceive_ || !port_.isOpen()) {
        return;
    }
    inReceive_ = true;
    QPointer<SerialLink> self(this);
    char buf[4096];
    while (tickRead_ && port_.isOpen()) {
        const ssize_t n = ::read(port_.handle(), buf, sizeof buf);
        if (n > 0) {
            CountBytes(n);
            rx_.Feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(buf),
                                              static_cast<size_t>(n)),
                     *this);
            if (!self) {
                return;
            }
            if (n < static_cast<ssize_t>(sizeof buf)) {
                break;  // what the port held; anything later waits for the next tick
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // A serial port set to return at once reads 0 when it holds nothing.
        if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        }
        // An error (a pulled adapter, a closed peer): the port reads again
        // itself and reports it as it always does.
        tickReadFailed_ = true;
        LeaveTickRead();
        break;
    }
    inReceive_ = false;
#endif
}

void SerialLink::OnReadyRead() {
    // A reply handler that waits (quiet time, pauses) runs the event loop; bytes
    // arriving meanwhile are taken by the loop below once the handler returns.
    if (inReceive_) {
        return;
    }
    inReceive_ = true;
    QPointer<SerialLink> self(this);
    while (port_.isOpen() && port_.bytesAvailable() > 0) {
        const QByteArray chunk = port_.readAll();
        CountBytes(chunk.size());
        rx_.Feed(Bytes(chunk), *this);
        if (!self) {
            return;
        }
    }
    inReceive_ = false;
}

void SerialLink::OnPacket(uint8_t command, std::span<const uint8_t> data) {
    CountReply();
    if (receiver_) {
        receiver_->HandleReply(command, data);
    }
}

void SerialLink::OnBrokenPacket(uint8_t command, int length, uint8_t trailer) {
    CountBroken();
    quiet_.MarkBroken();
    const uint16_t notTrailer = static_cast<uint16_t>(~static_cast<uint16_t>(trailer));
    emit captionRequested(TimeText(clock_()) + QStringLiteral(" Broken packet: ") +
                          QString::number(command, 16).toUpper() + u' ' + QString::number(length) +
                          QStringLiteral(" end ~") +
                          QStringLiteral("%1").arg(notTrailer, 4, 16, QChar(u'0')).toUpper());
}

}  // namespace tuvik
