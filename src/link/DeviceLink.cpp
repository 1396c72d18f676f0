#include "link/DeviceLink.h"

#include <QPointer>

#include "link/Packet.h"
#include "support/LocaleText.h"

namespace tuvik {

namespace {

quint64 Minus(quint64 a, quint64 b) {
    return a >= b ? a - b : a;  // counts of another link, or of none: taken whole
}

}  // namespace

LinkTraffic LinkTraffic::Since(const LinkTraffic& base) const {
    const quint64 newReplies = Minus(replies, base.replies);
    return {Minus(bytes, base.bytes), newReplies, Minus(broken, base.broken),
            newReplies > 0 ? lastReplyMs : -1};
}

DeviceLink::DeviceLink(QObject* parent) : QObject(parent), requestTimer_(this) {
    requestTimer_.setInterval(defaultRequestMs_);
    connect(&requestTimer_, &QTimer::timeout, this, [this] { OnRequestTick(); });
    reconnectTimer_.setInterval(kReconnectMs);
    connect(&reconnectTimer_, &QTimer::timeout, this, [this] { TryReopen(); });
}

// ---- receiving ----------------------------------------------------------------

bool DeviceLink::ReceiveLoop(const std::function<std::span<const uint8_t>()>& next) {
    if (inReceive_) {
        return true;
    }
    inReceive_ = true;
    QPointer<DeviceLink> self(this);
    for (std::span<const uint8_t> bytes = next(); !bytes.empty(); bytes = next()) {
        traffic_.bytes += bytes.size();
        // As read, before the framing: a recording holds broken packets too.
        if (borrower_) {
            borrower_->FromDevice(bytes);
        }
        if (tap_) {
            tap_->Chunk(ChunkDirection::Received, bytes, clock_->MonotonicUs());
        }
        rx_.Feed(bytes, *this);
        if (!self) {
            return false;
        }
    }
    inReceive_ = false;
    return true;
}

void DeviceLink::OnPacket(uint8_t command, std::span<const uint8_t> data) {
    ++traffic_.replies;
    traffic_.lastReplyMs = clock_->MonotonicUs() / 1000;
    if (receiver_) {
        receiver_->HandleReply(command, data);
    }
}

void DeviceLink::OnBrokenPacket(uint8_t command, int length, uint8_t trailer) {
    ++traffic_.broken;
    BrokenPacketSeen();
    QString text = LocaleTimeOfDay(Now()) + QStringLiteral(" Broken packet: ") +
                   QString::number(command, 16).toUpper() + u' ' + QString::number(length);
    if (brokenText_ == BrokenPacketText::SerialEnd) {
        const uint16_t notTrailer = static_cast<uint16_t>(~static_cast<uint16_t>(trailer));
        text += QStringLiteral(" end ~") +
                QStringLiteral("%1").arg(notTrailer, 4, 16, QChar(u'0')).toUpper();
    } else {
        text += u' ' + QString::number(trailer, 16).toUpper();
    }
    emit captionRequested(text);
}

// ---- the periodic request -------------------------------------------------------

void DeviceLink::SetDefaultRequestPeriod(int ms, const QString& timerName) {
    defaultRequestMs_ = ms;
    requestPeriodMs_ = ms;
    requestTimer_.setInterval(ms);
    requestTimer_.setObjectName(timerName);
}

void DeviceLink::SetRequestPeriod(int ms) {
    requestPeriodMs_ = ms;
    requestTimer_.setInterval(ms > 0 ? ms : defaultRequestMs_);
    ArmRequestTimer();
}

// A period of 0 or less means the timer never ticks, as with a stopped timer.
void DeviceLink::ArmRequestTimer() {
    if (refreshEnabled_ && requestPeriodMs_ > 0 && !lentOut()) {
        if (!requestTimer_.isActive()) {
            requestTimer_.start();
        }
    } else {
        requestTimer_.stop();
    }
    RequestTimerArmed();
}

void DeviceLink::PauseRequestTimer() {
    requestTimer_.stop();
    RequestTimerArmed();
}

void DeviceLink::SetRefreshTimer(bool enabled) {
    refreshEnabled_ = enabled;
    ArmRequestTimer();
}

// ---- retrying after a loss --------------------------------------------------------

void DeviceLink::setAutoReconnect(bool on) {
    autoReconnect_ = on;
    if (!on) {
        StopReconnecting();
    }
}

void DeviceLink::StartReconnecting() {
    if (autoReconnect_ && !reconnectTimer_.isActive()) {
        reconnectTimer_.start();
        emit reconnectingChanged(true);
    }
}

void DeviceLink::StopReconnecting() {
    if (reconnectTimer_.isActive()) {
        reconnectTimer_.stop();
        emit reconnectingChanged(false);
    }
}

// ---- lending ------------------------------------------------------------------------

void DeviceLink::Lend(LinkBorrower* to) {
    borrower_ = to;
    ArmRequestTimer();
}

bool DeviceLink::Forward(std::span<const uint8_t> bytes) {
    if (!lentOut() || !PortOpen() || bytes.empty()) {
        return false;
    }
    return WriteThrough(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size())));
}

// ---- writing ----------------------------------------------------------------------

// Every write member goes through here: while the link is lent out the
// program's own packets stay home.
bool DeviceLink::WriteOwn(const QByteArray& bytes) {
    return !lentOut() && WritePacket(bytes);
}

bool DeviceLink::SendPacket(uint8_t cmd, std::span<const int> data) {
    const auto bytes = EncodePacket(cmd, data);
    return bytes && WriteOwn(*bytes);
}

bool DeviceLink::SendPacket(uint8_t cmd, std::span<const uint8_t> data) {
    if (data.size() > 255) {
        return false;
    }
    return WriteOwn(EncodePacket(cmd, data));
}

bool DeviceLink::SendPacket(uint8_t cmd) {
    return WriteOwn(EncodeRequest(cmd));
}

bool DeviceLink::WriteMemory(int32_t address, std::span<const uint8_t> bytes) {
    const auto packet = EncodeMemWrite(address, static_cast<int>(bytes.size()), bytes);
    return packet && WriteOwn(*packet);
}

bool DeviceLink::ReadEE(int osote) {
    return WriteOwn(EncodeReadByte(static_cast<uint16_t>(osote)));
}

bool DeviceLink::ReadEE_16bit(int osote, bool paluu) {
    if (paluu || !PortOpen()) {
        return false;
    }
    return WriteOwn(EncodeReadWord(static_cast<uint16_t>(osote)));
}

bool DeviceLink::SendRequest(uint8_t cmd) {
    return !lentOut() && Send(cmd) && Send(0) && Send(cmd, true);
}

}  // namespace tuvik
