#include "burner/Histogram.h"

#include <algorithm>

#include "link/DeviceLink.h"
#include "support/Numbers.h"

namespace tuvik {

const QString Histogram::kExchangeName = QStringLiteral("histogram read");

QString HistogramLine(uint16_t value, int32_t address) {
    if (address >= 1696 && address <= 1699) {
        return QStringLiteral("IRavg: ") + DoubleText(value / 10.0, QLatin1Char('.')) +
               QStringLiteral(" oso ") + QString::number(address);
    }
    const double temperature = (address - 1700) / 2.0 * 5.0 + 200.0;
    return QStringLiteral("Temperature: ") + DoubleText(temperature, QLatin1Char('.')) +
           QStringLiteral(" value: ") + QString::number(value) + QStringLiteral(" oso ") +
           QString::number(address);
}

Histogram::Histogram(QObject* parent) : QObject(parent) {
    connect(&timer_, &ClockTimer::timeout, this, &Histogram::SendNext);
}

bool HistogramBars::empty() const {
    for (const auto& c : counts) {
        if (c) {
            return false;
        }
    }
    return !irAverage[0] && !irAverage[1];
}

int HistogramBars::peak() const {
    int p = 0;
    for (const auto& c : counts) {
        p = std::max(p, c ? static_cast<int>(*c) : 0);
    }
    return p;
}

int HistogramBars::AxisTop(int peak) {
    // 1, 2 or 5 times a power of ten.
    int unit = 1;
    while (true) {
        for (int m : {1, 2, 5}) {
            if (static_cast<int64_t>(m) * unit >= peak) {
                return m * unit;
            }
        }
        unit *= 10;
    }
}

void HistogramBars::Add(uint16_t value, int32_t address) {
    if (address == 1696 || address == 1698) {
        irAverage[static_cast<size_t>((address - 1696) / 2)] = value / 10.0;
        return;
    }
    const int32_t k = (address - 1700) / 2;
    if (address >= 1700 && (address - 1700) % 2 == 0 && k < kClasses) {
        counts[static_cast<size_t>(k)] = value;
    }
}

void Histogram::Clear() {
    text_.clear();
    bars_ = HistogramBars{};
    emit textChanged(text_);
}

void Histogram::addHistogramEntry(uint16_t value, int32_t address) {
    text_ += QStringLiteral("\r\n") + HistogramLine(value, address);
    bars_.Add(value, address);
    emit textChanged(text_);
}

std::optional<QString> Histogram::ReadHistogram(DeviceLink* link) {
    if (reading()) {
        return QStringLiteral("The histogram is being read already.");
    }
    if (!link || !link->PortOpen()) {
        return QStringLiteral("Not connected: the histogram cannot be read.");
    }
    if (!lock_.acquire(kExchangeName, link)) {
        return ExchangeGuard::BusyMessage();
    }
    link_ = link;
    next_ = 0;
    sent_ = 0;
    SendNext();
    return std::nullopt;
}

void Histogram::SendNext() {
    if (!reading()) {
        return;
    }
    if (!link_) {
        Stop(false, QStringLiteral("The histogram read stopped: the link went away."));
        return;
    }
    const int address = kFirstAddress + 2 * next_;
    if (!link_->ReadEE_16bit(address, false)) {
        Stop(false, QStringLiteral("The histogram read stopped: the link is not open."));
        return;
    }
    ++sent_;
    ++next_;
    emit progress(sent_, kReadCount);
    if (next_ >= kReadCount) {
        Stop(true, QString());
        return;
    }
    timer_.start(spacingMs_);
}

void Histogram::Stop(bool ok, const QString& message) {
    timer_.stop();
    next_ = -1;
    link_.clear();
    lock_.release();
    emit readFinished(ok, message);
}

}  // namespace tuvik
