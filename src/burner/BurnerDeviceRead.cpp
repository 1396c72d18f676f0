#include "burner/BurnerDeviceRead.h"

#include <algorithm>

#include "burner/ParamSet.h"
#include "link/DeviceLink.h"
#include "link/Packet.h"

namespace tuvik {

const QString BurnerDeviceRead::kExchangeName = QStringLiteral("device read");

BurnerDeviceRead::BurnerDeviceRead(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &BurnerDeviceRead::End);
}

bool BurnerDeviceRead::Start(DeviceLink* link, What what, const std::vector<int32_t>& addresses) {
    if (pending_ || !link || !link->PortOpen() || !lock_.acquire(kExchangeName)) {
        return false;
    }
    link_ = link;
    what_ = what;
    // A reply carries the address's low 16 bits (a write to -5 is answered
    // for 65531), so requests and replies are matched by those.
    wanted_.clear();
    for (const int32_t a : addresses) {
        wanted_.push_back(a & 0xFFFF);
    }
    std::sort(wanted_.begin(), wanted_.end());
    wanted_.erase(std::unique(wanted_.begin(), wanted_.end()), wanted_.end());
    values_.clear();
    paramSet_.reset();
    lost_ = false;
    pending_ = true;
    lostConn_ = connect(link, &DeviceLink::linkLost, this, [this] {
        lost_ = true;
        timer_.start(0);
    });
    bool sent = true;
    if (what == What::ParamSet) {
        sent = link->SendPacket(Cmd::ReadParamSet);
    } else {
        for (const int32_t a : wanted_) {
            sent = (what == What::Word ? link->ReadEE_16bit(a, false) : link->ReadEE(a)) && sent;
        }
    }
    emit progress(0, Total());
    // A request that could not go out is not waited for; the end is reported
    // from the event loop, never from inside Start.
    timer_.start(sent && !lost_ && !complete() ? timeoutMs_ : 0);
    return true;
}

int BurnerDeviceRead::Total() const {
    return what_ == What::ParamSet ? 1 : static_cast<int>(wanted_.size());
}

int BurnerDeviceRead::Answered() const {
    return what_ == What::ParamSet ? (paramSet_ ? 1 : 0) : static_cast<int>(values_.size());
}

bool BurnerDeviceRead::complete() const {
    return Answered() == Total();
}

bool BurnerDeviceRead::OfferParamSet(std::span<const uint8_t> data) {
    if (!pending_ || what_ != What::ParamSet) {
        return false;
    }
    QStringList texts;
    ApplyParamSet(data, texts);
    // A reply too short for every box leaves the read unanswered.
    const auto decoded = DecodeParamSet(data);
    if (std::all_of(decoded.begin(), decoded.end(), [](const auto& t) { return t.has_value(); })) {
        paramSet_ = texts;
    }
    emit progress(Answered(), Total());
    if (complete()) {
        timer_.start(0);
    }
    return true;
}

bool BurnerDeviceRead::OfferValue(int32_t value, int32_t address, bool word) {
    if (!pending_ || what_ == What::ParamSet || (what_ == What::Word) != word ||
        !std::binary_search(wanted_.begin(), wanted_.end(), address & 0xFFFF)) {
        return false;
    }
    values_[address & 0xFFFF] = value;
    emit progress(Answered(), Total());
    if (complete()) {
        timer_.start(0);
    }
    return true;
}

std::optional<int32_t> BurnerDeviceRead::value(int32_t address) const {
    const auto it = values_.find(address & 0xFFFF);
    return it == values_.end() ? std::nullopt : std::optional<int32_t>(it->second);
}

void BurnerDeviceRead::End() {
    if (!pending_) {
        return;
    }
    timer_.stop();
    disconnect(lostConn_);
    pending_ = false;
    lock_.release();
    emit finished();
}

}  // namespace tuvik
