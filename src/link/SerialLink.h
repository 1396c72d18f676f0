#pragma once
// The serial link: opens the serial port, reads what arrives into the
// receive loop, writes requests and reports a port that went away. The
// framing, the periodic request and the reports are DeviceLink's.

#include <QSerialPort>
#include <QString>

#include <optional>

#include "link/DeviceLink.h"
#include "link/LinkError.h"
#include "link/QuietTime.h"

namespace tuvik {

// What the serial link is opened with: the port (a whole number N is the
// platform's port N, anything else a device path), the speed in baud and
// the period of the data request in ms (0 or less: none).
struct SerialSettings {
    QString port;
    int speed = 0;
    int refreshMs = 0;
};

class SerialLink : public DeviceLink {
    Q_OBJECT
  public:
    static constexpr int kOpenSpeed = 57600;        // the speed the port is first opened at
    static constexpr int kInitialRequestMs = 50;    // until the port is opened with a period
    static constexpr int kQuietPollMs = 5;          // how often a held write looks again
    static constexpr int kQuietWaitLimitMs = 1500;  // a held write never waits longer

    explicit SerialLink(QObject* parent = nullptr);
    ~SerialLink() override;

    // DeviceLink
    bool PortOpen() const override;
    void Disconnect() override;
    bool Send(int value, bool invert = false) override;
    // Writes 55 02 low high AA straight to the port: no quiet-time wait.
    bool ReadEE_16bit(int osote, bool paluu = false) override;

    // Opens the port at kOpenSpeed, then sets the given speed and starts the
    // periodic request. On failure the port is closed, the request timer is
    // off and the error is returned for the user to see. A reconnect after a
    // loss opens with the same settings.
    std::optional<LinkError> OpenPort(const SerialSettings& settings);

    // Stores the speed; an open port is reopened with it.
    std::optional<LinkError> BaudRate(int speed);

    QString Endpoint() const override { return port_.portName(); }
    RecordingInfo ConnectionInfo() const override;

    static constexpr int kTickReadMaxMs = 20;
    // Replies are being taken at the request ticks.
    // Seam: tests see the switch to tick reads, which changes no byte on the wire.
    bool readsAtTicks() const { return tickRead_; }

    // A whole number N is the platform's port N (COMN, /dev/ttyS<N-1>); any
    // other text is taken as a device path.
    static QString PortNameFor(const QString& text);

    // The hold after a broken packet, by the link's clock.
    // Seam: tests wait for the hold to begin before they send into it.
    const QuietTime& quietTime() const { return quiet_; }
    bool WritesHeld() const override { return quiet_.Holding(clock()); }
    // Seam: tests read the speed, framing and lines the port was opened with.
    QSerialPort& port() { return port_; }

  signals:
    // After every open, close, failed open and loss: whether the port is
    // open, and the error's text when one made it fail or go away.
    void portStateChanged(bool open, const QString& error);

  protected:
    // After the quiet time; nothing when the port is closed.
    bool WritePacket(const QByteArray& bytes) override;
    bool WriteThrough(const QByteArray& bytes) override { return WriteBytes(bytes, true); }
    void TryReopen() override;
    void OnRequestTick() override;
    void RequestTimerArmed() override;
    void BrokenPacketSeen() override;

  private:
    // poll: whether the periodic request runs once the port is open.
    std::optional<LinkError> TogglePort(bool poll = true);
    std::optional<LinkError> Open(bool poll);
    std::optional<LinkError> OpenFailed();
    void ApplyLineSettings();
    bool WaitQuiet();
    // through: a borrower's bytes, which go while the link is lent out.
    bool WriteBytes(const QByteArray& bytes, bool through = false);
    void OnReadyRead();
    void UpdateReadMode();
    void DrainPort();
    void LeaveTickRead();
    void OnPortError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    QuietTime quiet_;
    SerialSettings settings_;
    int speed_ = kOpenSpeed;
    bool opening_ = false;
    // At a request period of kTickReadMaxMs or less the replies are taken
    // off the port at each request tick instead of waking the program as
    // they arrive: the same bytes in the same order, at most one period
    // later, and half the wake-ups. Exchanges stop the periodic request and
    // with it this mode, so their replies are read as they come.
    bool tickRead_ = false;
    bool tickReadFailed_ = false;  // the port reported trouble: until reopened
};

}  // namespace tuvik
