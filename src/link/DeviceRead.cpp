#include "link/DeviceRead.h"

#include "link/DeviceLink.h"

namespace tuvik {

DeviceRead::DeviceRead(QString exchangeName, QObject* parent)
    : QObject(parent), exchange_(std::move(exchangeName)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &DeviceRead::End);
}

bool DeviceRead::Start(DeviceLink* link, int expected, int timeoutMs, const Requests& requests,
                       bool wholeTime) {
    if (pending_ || !link || !link->PortOpen() || !lock_.acquire(exchange_, link)) {
        return false;
    }
    link_ = link;
    expected_ = expected;
    answered_ = 0;
    wholeTime_ = wholeTime;
    lost_ = false;
    pending_ = true;
    lostConn_ = connect(link, &DeviceLink::linkLost, this, [this] {
        lost_ = true;
        timer_.start(0);
    });
    const bool sent = requests(*link);
    emit progress(0, expected_);
    timer_.start(sent && !lost_ && (wholeTime_ || !complete()) ? timeoutMs : 0);
    return true;
}

void DeviceRead::Answered(int answered) {
    if (!pending_) {
        return;
    }
    answered_ = answered;
    emit progress(answered_, expected_);
    if (complete() && !wholeTime_) {
        timer_.start(0);
    }
}

void DeviceRead::End() {
    if (!pending_) {
        return;
    }
    Abandon();
    emit finished();
}

void DeviceRead::Abandon() {
    timer_.stop();
    disconnect(lostConn_);
    pending_ = false;
    lock_.release();
}

}  // namespace tuvik
