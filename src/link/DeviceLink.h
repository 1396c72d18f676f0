#pragma once
// The member set that both links offer. Every part of the program sends
// through the active link (AppContext::activeLink) by these members.

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <span>

#include "link/RxState.h"

namespace tuvik {

// What has come in over a link since it was last reset: the bytes read, the
// replies framed, the broken packets, and when the last reply came (ms on a
// monotonic clock, -1 none).
struct LinkTraffic {
    quint64 bytes = 0;
    quint64 replies = 0;
    quint64 broken = 0;
    qint64 lastReplyMs = -1;
};

// The monotonic clock the traffic counts use, in ms.
qint64 LinkClockMs();

// Where complete replies go: the reply dispatcher in the running program, a
// recorder in tests.
class ReplyReceiver {
  public:
    virtual ~ReplyReceiver() = default;
    virtual void HandleReply(uint8_t command, std::span<const uint8_t> data) = 0;
};

class DeviceLink : public QObject {
    Q_OBJECT
  public:
    explicit DeviceLink(QObject* parent = nullptr);
    ~DeviceLink() override = default;

    virtual bool PortOpen() const = 0;
    virtual void Disconnect() = 0;
    virtual void SetRefreshTimer(bool enabled) = 0;
    virtual bool RefreshTimerEnabled() const = 0;

    // One byte: value, or value XOR 0xFF when invert. Returns false (nothing
    // written) when value is outside 0..255 or the link cannot write.
    virtual bool Send(int value, bool invert = false) = 0;

    // One packet: cmd, element count, elements, trailer. More than 255
    // elements or an element outside 0..255 writes nothing and returns false.
    bool SendPacket(uint8_t cmd, std::span<const int> data);
    bool SendPacket(uint8_t cmd, std::span<const uint8_t> data);
    // Without data: cmd, 0x00, trailer.
    bool SendPacket(uint8_t cmd);

    // Memory write request 0x85 (indexGroup is not sent).
    bool AdsSyncWriteReq(int32_t indexGroup, int32_t indexOffset, int cbLen,
                         std::span<const uint8_t> wArray);
    // Offered for symmetry with the write; the controller has no such read.
    void AdsSyncReadReq(int32_t, int32_t, int, std::span<const uint8_t>) {}

    // Burner memory reads: 0x8A (byte) and 0x55 (word).
    virtual bool ReadEE(int osote);
    virtual bool ReadEE_16bit(int osote, bool paluu = false);

    // The three-call form the buttons use: cmd, 0, cmd inverted.
    bool SendRequest(uint8_t cmd);

    void SetReceiver(ReplyReceiver* r) { receiver_ = r; }
    ReplyReceiver* receiver() const { return receiver_; }

    // Traffic counts for the status line; reset at every connect.
    const LinkTraffic& traffic() const { return traffic_; }
    void ResetTraffic() { traffic_ = LinkTraffic{}; }
    // The port or relay address the link uses, for the status line.
    virtual QString Endpoint() const { return {}; }

    // After the device went away (linkLost), try the same port or relay
    // again once a second until it is back or Disconnect is called. An
    // exchange that was running stays failed; on return the periodic request
    // is on or off as it was before the loss, or as SetRefreshTimer last set
    // it while the link was down.
    static constexpr int kReconnectMs = 1000;
    void setAutoReconnect(bool on);
    bool autoReconnect() const { return autoReconnect_; }
    bool reconnecting() const { return reconnectTimer_.isActive(); }

  signals:
    // The link became usable or stopped being usable (port open, socket connected).
    void connectionChanged(bool connected);
    // The device went away under us (adapter pulled, relay dropped the connection).
    void linkLost(const QString& reason);
    // A line meant for the main window's title bar (broken packets, open errors).
    void captionRequested(const QString& text);
    // Retrying after a lost link started (true) or ended (false: back, or
    // given up by Disconnect).
    void reconnectingChanged(bool on);

  protected:
    // Writes a whole encoded packet; the link decides how (one write or byte by byte).
    virtual bool WritePacket(const QByteArray& bytes) = 0;
    void CountBytes(qint64 n) { traffic_.bytes += static_cast<quint64>(n); }
    void CountReply() {
        ++traffic_.replies;
        traffic_.lastReplyMs = LinkClockMs();
    }
    void CountBroken() { ++traffic_.broken; }
    // For the links: start retrying after a loss (when asked to), stop.
    void StartReconnecting();
    void StopReconnecting();
    // One attempt to open the same port or relay again.
    virtual void TryReopen() {}

    ReplyReceiver* receiver_ = nullptr;
    LinkTraffic traffic_;

  private:
    bool autoReconnect_ = false;
    QTimer reconnectTimer_;
};

}  // namespace tuvik
