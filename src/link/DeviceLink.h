#pragma once
// What every link does the same way, whatever carries the bytes: the receive
// framing and its loop that hands complete replies on, the broken-packet
// report, the periodic data request, the clock for captions, the traffic
// counts and the retries after a loss. A link kind (serial port, TCP relay)
// only opens, reads, writes and reports loss. Every part of the program
// sends through the active link (AppContext::activeLink) by these members.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTime>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <span>

#include "link/RecordedChunk.h"
#include "link/RxState.h"
#include "support/Clock.h"

namespace tuvik {

// What has come in over a link since it was made: the bytes read, the
// replies framed, the broken packets, and when the last reply came (ms on
// the link clock's monotonic time, -1 none).
struct LinkTraffic {
    quint64 bytes = 0;
    quint64 replies = 0;
    quint64 broken = 0;
    qint64 lastReplyMs = -1;

    // What came in after `base` was taken (the last reply only if one did).
    LinkTraffic Since(const LinkTraffic& base) const;
};

// Who the link is lent to (the monitor's relay for a desktop tool): it is
// told every chunk read from the device while the link is lent, as read.
class LinkBorrower {
  public:
    virtual ~LinkBorrower() = default;
    virtual void FromDevice(std::span<const uint8_t> bytes) = 0;
};

// Where complete replies go: the reply dispatcher in the running program, a
// recorder in tests.
class ReplyReceiver {
  public:
    virtual ~ReplyReceiver() = default;
    virtual void HandleReply(uint8_t command, std::span<const uint8_t> data) = 0;
};

class DeviceLink : public QObject, private RxSink {
    Q_OBJECT
  public:
    // How a broken packet is told in the main window's title bar, after the
    // time and " Broken packet: " and the command in hex: the serial link
    // says "<length> end ~<16-bit complement of the trailer>", the TCP link
    // "<length> <trailer>".
    enum class BrokenPacketText { SerialEnd, TcpTrailer };

    explicit DeviceLink(QObject* parent = nullptr);
    ~DeviceLink() override = default;

    virtual bool PortOpen() const = 0;
    virtual void Disconnect() = 0;

    // Switches the periodic data request on or off. While the link is closed
    // the wish is kept and the request goes out once it is open.
    virtual void SetRefreshTimer(bool enabled);
    virtual bool RefreshTimerEnabled() const { return refreshEnabled_; }
    const QTimer& requestTimer() const { return requestTimer_; }

    // One byte: value, or value XOR 0xFF when invert. Returns false (nothing
    // written) when value is outside 0..255 or the link cannot write.
    virtual bool Send(int value, bool invert = false) = 0;

    // One packet: cmd, element count, elements, trailer. More than 255
    // elements or an element outside 0..255 writes nothing and returns false.
    bool SendPacket(uint8_t cmd, std::span<const int> data);
    bool SendPacket(uint8_t cmd, std::span<const uint8_t> data);
    // Without data: cmd, 0x00, trailer.
    bool SendPacket(uint8_t cmd);

    // Memory write request 0x85: the address (low 16 bits), then the bytes
    // (at most 253).
    bool WriteMemory(int32_t address, std::span<const uint8_t> bytes);

    // Burner memory reads: 0x8A (byte) and 0x55 (word).
    virtual bool ReadEE(int osote);
    virtual bool ReadEE_16bit(int osote, bool paluu = false);

    // The three-call form the buttons use: cmd, 0, cmd inverted.
    bool SendRequest(uint8_t cmd);

    void SetReceiver(ReplyReceiver* r) { receiver_ = r; }
    // Seam: tests see that a replay detached the TCP link from the replies.
    ReplyReceiver* receiver() const { return receiver_; }

    // Traffic counts for the status line and the run's statistics.
    const LinkTraffic& traffic() const { return traffic_; }
    // The port or relay address the link uses, for the status line.
    virtual QString Endpoint() const { return {}; }
    // The device is reached through a relay, which adds a delay of its own:
    // exchanges over such a link wait longer.
    virtual bool relayed() const { return false; }
    // Seam: tests see a packet half received, which shows nothing until it is whole.
    const RxState& rxState() const { return rx_; }

    // Where every chunk read from or written to the device is also told
    // (the session recorder); null for none. Not owned.
    void SetTap(LinkTap* tap) { tap_ = tap; }
    LinkTap* tap() const { return tap_; }
    // What a recording of this link says about its connection: the link's
    // kind ("serial", "tcp"), endpoint, speed and refresh period. An empty
    // kind for a link that is not recorded (a replayed recording).
    virtual RecordingInfo ConnectionInfo() const { return {}; }

    // The clock of the traffic counts, the chunks a tap is told, the
    // replay's pacing, the time of day of captions and the serial link's
    // quiet time: the session's. Not owned; the system's clock until set.
    void setClock(const Clock& clock) { clock_ = &clock; }
    const Clock& clock() const { return *clock_; }

    // Lent out to a borrower (null: taken back). While lent, nothing of the
    // program's own goes to the device: every write member returns false
    // having written nothing, and the periodic request holds (whether it is
    // wanted is kept, as SetRefreshTimer sets it meanwhile). Only Forward
    // writes. What comes in is still framed and handed on, and the borrower
    // is told it too. Lend only when Idle(), or a write under way is cut.
    void Lend(LinkBorrower* to);
    bool lentOut() const { return borrower_ != nullptr; }
    // The borrower's bytes, written to the device as they are: no quiet time,
    // no waiting. False (nothing written) unless lent and open.
    bool Forward(std::span<const uint8_t> bytes);
    // No exchange holds the link (LinkExchangeLock) and no write is waiting
    // for its turn: what the program writes next starts on a clean line.
    bool Idle() const { return exchanges_ == 0 && writeWaits_ == 0; }
    // Writes are held back now (the quiet time after a broken packet).
    virtual bool WritesHeld() const { return false; }

    // After the device went away (linkLost), try the same port or relay
    // again once a second until it is back or Disconnect is called. An
    // exchange that was running stays failed; on return the periodic request
    // is on or off as it was before the loss, or as SetRefreshTimer last set
    // it while the link was down.
    static constexpr int kReconnectMs = 1000;
    void setAutoReconnect(bool on);
    bool reconnecting() const { return reconnectTimer_.isActive(); }

  signals:
    // Whether the link is usable (port open, socket connected), told at
    // every open, close, failed open and loss; a repeat is no change.
    void connectionChanged(bool connected);
    // The device went away under us (adapter pulled, relay dropped the connection).
    void linkLost(const QString& reason);
    // A line meant for the main window's title bar (broken packets).
    void captionRequested(const QString& text);
    // Retrying after a lost link started (true) or ended (false: back, or
    // given up by Disconnect).
    void reconnectingChanged(bool on);

  protected:
    // Writes a whole encoded packet; the link decides how (one write or byte by byte).
    virtual bool WritePacket(const QByteArray& bytes) = 0;
    // What Forward writes with: straight to the transport, never waiting.
    virtual bool WriteThrough(const QByteArray& bytes) { return WritePacket(bytes); }
    // A write waits for its turn (running the event loop meanwhile): the
    // link is not Idle() until it has gone.
    class WriteWait {
      public:
        explicit WriteWait(DeviceLink& link) : link_(&link) { ++link.writeWaits_; }
        ~WriteWait() {
            if (link_) {  // the wait may have outlived the link
                --link_->writeWaits_;
            }
        }
        WriteWait(const WriteWait&) = delete;
        WriteWait& operator=(const WriteWait&) = delete;

      private:
        QPointer<DeviceLink> link_;
    };

    // The receive loop. `next` reads once from the transport and returns the
    // bytes, or nothing when it holds no more. Each read goes through the
    // framing, and every complete reply is handed on before the next byte is
    // taken. A reply handler that waits (pauses, quiet time) runs the event
    // loop, and with it may come back here: that call returns at once, and
    // the bytes it was woken for are read by the outer loop once the handler
    // returns. Returns false when a handler destroyed the link: the caller
    // must then touch nothing of it.
    bool ReceiveLoop(const std::function<std::span<const uint8_t>()>& next);
    bool receiving() const { return inReceive_; }
    // Bytes the link has handed to the device, for the tap.
    void TapSent(std::span<const uint8_t> bytes) {
        if (tap_ && !bytes.empty()) {
            tap_->Chunk(ChunkDirection::Sent, bytes, clock_->MonotonicUs());
        }
    }
    void TapSent(const char* bytes, qint64 n) {
        TapSent({reinterpret_cast<const uint8_t*>(bytes), static_cast<size_t>(n)});
    }
    // A new connection: nothing of a half-framed packet carries over.
    void ResetFraming() { rx_.Reset(); }
    // What a broken packet does besides counting and the caption.
    virtual void BrokenPacketSeen() {}
    void SetBrokenPacketText(BrokenPacketText kind) { brokenText_ = kind; }

    // The periodic data request: its period (0 or less: it never ticks, as
    // a stopped timer), and what a tick writes.
    void SetRequestPeriod(int ms);
    int requestPeriod() const { return requestPeriodMs_; }
    // The period the timer holds until one is given, and the timer's name.
    void SetDefaultRequestPeriod(int ms, const QString& timerName);
    virtual void OnRequestTick() {}
    // The request timer was started or stopped (or left as it was).
    virtual void RequestTimerArmed() {}
    void ArmRequestTimer();
    // Stops the request without changing whether it is wanted (a lost link).
    void PauseRequestTimer();
    // After a failed reopen: the request is wanted as it was before.
    void KeepRefreshWanted(bool on) { refreshEnabled_ = on; }

    void ReportConnected(bool connected) { emit connectionChanged(connected); }
    QTime Now() const { return clock_->TimeOfDay(); }

    // For the links: start retrying after a loss (when asked to), stop.
    void StartReconnecting();
    void StopReconnecting();
    // One attempt to open the same port or relay again.
    virtual void TryReopen() {}

  private:
    friend class LinkExchangeLock;
    bool WriteOwn(const QByteArray& bytes);
    void OnPacket(uint8_t command, std::span<const uint8_t> data) override;
    void OnBrokenPacket(uint8_t command, int length, uint8_t trailer) override;

    ReplyReceiver* receiver_ = nullptr;
    LinkTap* tap_ = nullptr;
    LinkTraffic traffic_;
    RxState rx_;
    bool inReceive_ = false;
    BrokenPacketText brokenText_ = BrokenPacketText::SerialEnd;
    const Clock* clock_ = &Clock::System();
    QTimer requestTimer_;
    int defaultRequestMs_ = 500;
    int requestPeriodMs_ = 500;
    bool refreshEnabled_ = false;
    bool autoReconnect_ = false;
    QTimer reconnectTimer_;
    LinkBorrower* borrower_ = nullptr;
    int exchanges_ = 0;
    int writeWaits_ = 0;
};

}  // namespace tuvik
