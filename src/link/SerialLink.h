#pragma once
// The serial link: owns the serial port, polls the controller with the
// periodic data request, frames what arrives and hands replies on.

#include <QSerialPort>
#include <QString>
#include <QTime>
#include <QTimer>

#include <functional>
#include <optional>

#include "link/DeviceLink.h"
#include "link/LinkError.h"
#include "link/QuietTime.h"
#include "link/RxState.h"

namespace tuvik {

class AppContext;

class SerialLink : public DeviceLink, private RxSink {
    Q_OBJECT
  public:
    static constexpr int kOpenSpeed = 57600;        // the speed in the settings text
    static constexpr int kInitialRequestMs = 50;    // until OpenPort takes the refresh text
    static constexpr int kQuietPollMs = 5;          // how often a held write looks again
    static constexpr int kQuietWaitLimitMs = 1500;  // a held write never waits longer

    explicit SerialLink(AppContext& ctx, QObject* parent = nullptr);
    ~SerialLink() override;

    // DeviceLink
    bool PortOpen() const override;
    void Disconnect() override;
    void SetRefreshTimer(bool enabled) override;
    bool RefreshTimerEnabled() const override;
    bool Send(int value, bool invert = false) override;
    // Writes 55 02 low high AA straight to the port: no quiet-time wait.
    bool ReadEE_16bit(int osote, bool paluu = false) override;

    // Opens the port named by the connection texts at the settings speed, then
    // sets the typed speed. On failure the port is closed, the request timer
    // is off and the error is returned for the user to see.
    std::optional<LinkError> OpenPort();

    // Stores the speed; an open port is reopened with it.
    std::optional<LinkError> BaudRate(int speed);
    int BaudRate() const { return speed_; }
    // Stores the port number; an open port is reopened on it.
    std::optional<LinkError> comPort(int number);
    int comPort() const { return comPortNumber_; }

    // Logging to a file is not offered on this link.
    bool StartLogging() { return false; }

    // "57600,n,8,1": speed, no parity, 8 data bits, 1 stop bit.
    QString SettingsText() const;
    QString portName() const { return port_.portName(); }
    QString Endpoint() const override { return port_.portName(); }

  protected:
    void TryReopen() override;

  public:
    static constexpr int kTickReadMaxMs = 20;
    // Replies are being taken at the request ticks.
    bool readsAtTicks() const { return tickRead_; }

    // "Connect True", "Connect False" or the last open error.
    QString windowCaption() const { return caption_; }

    // A whole number N is the platform's port N (COMN, /dev/ttyS<N-1>); any
    // other text is taken as a device path.
    static QString PortNameFor(const QString& text);

    // Time of day used for captions and for the quiet time; tests fix it.
    void SetClock(std::function<QTime()> clock);
    QuietTime& quietTime() { return quiet_; }

    const QTimer& TimerRequestData() const { return requestTimer_; }
    QSerialPort& port() { return port_; }
    const RxState& rxState() const { return rx_; }

  signals:
    void windowCaptionChanged(const QString& caption);

  protected:
    // Byte by byte, after the quiet time; nothing when the port is closed.
    bool WritePacket(const QByteArray& bytes) override;

  private:
    void OnPacket(uint8_t command, std::span<const uint8_t> data) override;
    void OnBrokenPacket(uint8_t command, int length, uint8_t trailer) override;

    // poll: whether the periodic request runs once the port is open.
    std::optional<LinkError> TogglePort(bool poll = true);
    std::optional<LinkError> Open(bool poll);
    void ApplySettingsText();
    void SetRequestInterval(int ms);
    void ArmRequestTimer();
    void SetWindowCaption(const QString& text);
    QString ErrorCaption(const QString& description) const;
    bool WaitQuiet();
    bool WriteByte(uint8_t b);
    bool WriteBytes(const QByteArray& bytes);
    void OnRequestTick();
    void OnReadyRead();
    void UpdateReadMode();
    void DrainPort();
    void LeaveTickRead();
    void OnPortError(QSerialPort::SerialPortError error);

    AppContext& ctx_;
    QSerialPort port_;
    QTimer requestTimer_;
    RxState rx_;
    QuietTime quiet_;
    std::function<QTime()> clock_;
    QString caption_;
    int comPortNumber_ = 0;
    int speed_ = kOpenSpeed;
    int requestIntervalMs_ = kInitialRequestMs;
    bool refreshEnabled_ = false;
    bool opening_ = false;
    bool inReceive_ = false;
    // At a request period of kTickReadMaxMs or less the replies are taken
    // off the port at each request tick instead of waking the program as
    // they arrive: the same bytes in the same order, at most one period
    // later, and half the wake-ups. Exchanges stop the periodic request and
    // with it this mode, so their replies are read as they come.
    bool tickRead_ = false;
    bool tickReadFailed_ = false;  // the port reported trouble: until reopened
};

}  // namespace tuvik
