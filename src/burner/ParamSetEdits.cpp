#include "burner/ParamSetEdits.h"

#include "burner/BurnerDeviceRead.h"
#include "link/DeviceLink.h"
#include "link/Packet.h"

namespace tuvik {

ParamSetEdits::ParamSetEdits(QObject* parent) : QObject(parent) {}

bool ParamSetEdits::Request(DeviceLink* link, bool overwrite) {
    const bool sent = link && link->PortOpen() && link->SendPacket(Cmd::ReadParamSet);
    if (overwrite) {
        overwrite_ = sent;
        // A reply that does not come in the time a device read waits for never arrives.
        overwriteUntilUs_ = clock_->MonotonicUs() + qint64{BurnerDeviceRead::kTimeoutMs} * 1000;
    }
    return sent;
}

void ParamSetEdits::ForgetOverwrite() {
    overwrite_ = false;
}

std::array<std::optional<QString>, kParamBoxCount> ParamSetEdits::Received(
    std::span<const uint8_t> data, const QStringList& boxes) {
    if (overwrite_ && clock_->MonotonicUs() > overwriteUntilUs_) {
        ForgetOverwrite();
    }
    QStringList device = lastRead_;
    ApplyParamSet(data, device);
    std::array<std::optional<QString>, kParamBoxCount> replaced;
    for (int i = 0; i < kParamBoxCount; ++i) {
        const bool edited = boxes.at(i) != lastRead_.at(i);
        if (overwrite_ || !edited) {
            replaced[static_cast<size_t>(i)] = device.at(i);
        }
    }
    lastRead_ = device;
    deviceRead_ = true;
    ForgetOverwrite();
    return replaced;
}

void ParamSetEdits::ReadBack(const QStringList& deviceTexts) {
    lastRead_ = deviceTexts;
    deviceRead_ = true;
}

std::optional<QString> ParamSetEdits::DeviceText(int box) const {
    return deviceRead_ ? std::optional<QString>(lastRead_.at(box)) : std::nullopt;
}

}  // namespace tuvik
