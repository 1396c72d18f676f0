#include "burner/BurnerDeviceRead.h"

#include <algorithm>

#include "burner/ParamSet.h"
#include "link/DeviceLink.h"
#include "link/Packet.h"

namespace tuvik {

const QString BurnerDeviceRead::kExchangeName = QStringLiteral("device read");

BurnerDeviceRead::BurnerDeviceRead(QObject* parent) : QObject(parent), read_(kExchangeName) {
    connect(&read_, &DeviceRead::progress, this, &BurnerDeviceRead::progress);
    connect(&read_, &DeviceRead::finished, this, &BurnerDeviceRead::finished);
}

bool BurnerDeviceRead::Start(DeviceLink* link, What what, const std::vector<int32_t>& addresses) {
    // A reply carries the address's low 16 bits (a write to -5 is answered
    // for 65531), so requests and replies are matched by those.
    std::vector<int32_t> wanted;
    for (const int32_t a : addresses) {
        wanted.push_back(a & 0xFFFF);
    }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    const int total = what == What::ParamSet ? 1 : static_cast<int>(wanted.size());
    return read_.Start(link, total, timeoutMs_, [&](DeviceLink& l) {
        // Only now is the read sure to start: the last read's answers go.
        what_ = what;
        wanted_ = std::move(wanted);
        values_.clear();
        paramSet_.reset();
        if (what_ == What::ParamSet) {
            return l.SendPacket(Cmd::ReadParamSet);
        }
        bool sent = true;
        for (const int32_t a : wanted_) {
            sent = (what_ == What::Word ? l.ReadEE_16bit(a, false) : l.ReadEE(a)) && sent;
        }
        return sent;
    });
}

int BurnerDeviceRead::Answered() const {
    return what_ == What::ParamSet ? (paramSet_ ? 1 : 0) : static_cast<int>(values_.size());
}

bool BurnerDeviceRead::complete() const {
    return Answered() == read_.expected();
}

bool BurnerDeviceRead::OfferParamSet(std::span<const uint8_t> data) {
    if (!pending() || what_ != What::ParamSet) {
        return false;
    }
    QStringList texts;
    ApplyParamSet(data, texts);
    // A reply too short for every box leaves the read unanswered.
    const auto decoded = DecodeParamSet(data);
    if (std::all_of(decoded.begin(), decoded.end(), [](const auto& t) { return t.has_value(); })) {
        paramSet_ = texts;
    }
    read_.Answered(Answered());
    return true;
}

bool BurnerDeviceRead::OfferValue(int32_t value, int32_t address, bool word) {
    if (!pending() || what_ == What::ParamSet || (what_ == What::Word) != word ||
        !std::binary_search(wanted_.begin(), wanted_.end(), address & 0xFFFF)) {
        return false;
    }
    values_[address & 0xFFFF] = value;
    read_.Answered(Answered());
    return true;
}

std::optional<int32_t> BurnerDeviceRead::value(int32_t address) const {
    const auto it = values_.find(address & 0xFFFF);
    return it == values_.end() ? std::nullopt : std::optional<int32_t>(it->second);
}

}  // namespace tuvik
