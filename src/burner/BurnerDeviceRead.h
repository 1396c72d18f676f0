#pragma once
// A read of the burner's current values around a write: the parameter set
// (0x83 -> 0x84), the bytes of some addresses (0x8A -> 0x8B) or one word
// (0x55 -> 0x55), as a DeviceRead: under the one-at-a-time guard, on a
// timer, for a bounded time. While it waits, the burner model hands it
// every matching reply first; a reply it takes does not go into the boxes.

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "link/DeviceRead.h"

namespace tuvik {

class DeviceLink;

class BurnerDeviceRead : public QObject {
    Q_OBJECT
  public:
    // How long the device has to answer every request of one read.
    static constexpr int kTimeoutMs = 3000;
    static const QString kExchangeName;

    enum class What { ParamSet, Bytes, Word };

    explicit BurnerDeviceRead(QObject* parent = nullptr);

    // Tests shorten the wait for the device's answer.
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    int timeoutMs() const { return timeoutMs_; }

    // Sends the requests; replies are matched by the low 16 bits of the
    // address, as the device reports it. False, with nothing pending and no
    // signal to follow, when the link is not open or another exchange runs.
    bool Start(DeviceLink* link, What what, const std::vector<int32_t>& addresses = {});
    bool pending() const { return read_.pending(); }

    // Replies while pending: true when the read took it.
    bool OfferParamSet(std::span<const uint8_t> data);
    bool OfferValue(int32_t value, int32_t address, bool word);

    // The last read's answers.
    const std::optional<QStringList>& paramSet() const { return paramSet_; }
    std::optional<int32_t> value(int32_t address) const;
    // Every request was answered.
    bool complete() const;
    // The link went away during the read.
    bool lost() const { return read_.lost(); }

  signals:
    void progress(int answered, int total);
    // Every answer is in, the time ran out or the link went away.
    void finished();

  private:
    int Answered() const;

    DeviceRead read_;
    What what_ = What::ParamSet;
    std::vector<int32_t> wanted_;
    std::map<int32_t, int32_t> values_;
    std::optional<QStringList> paramSet_;
    int timeoutMs_ = kTimeoutMs;
};

}  // namespace tuvik
