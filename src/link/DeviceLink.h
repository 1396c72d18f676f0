#pragma once
// The member set that both links offer. Every part of the program sends
// through the active link (AppContext::activeLink) by these members.

#include <QObject>
#include <QString>

#include <cstdint>
#include <span>

#include "link/RxState.h"

namespace tuvik {

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
    using QObject::QObject;
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

signals:
    // The link became usable or stopped being usable (port open, socket connected).
    void connectionChanged(bool connected);
    // The device went away under us (adapter pulled, relay dropped the connection).
    void linkLost(const QString& reason);
    // A line meant for the main window's title bar (broken packets, open errors).
    void captionRequested(const QString& text);

protected:
    // Writes a whole encoded packet; the link decides how (one write or byte by byte).
    virtual bool WritePacket(const QByteArray& bytes) = 0;

    ReplyReceiver* receiver_ = nullptr;
};

}  // namespace tuvik
