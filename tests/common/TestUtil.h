#pragma once
// Helpers shared by the test suites.

#include <QByteArray>
#include <QString>
#ifndef TUVIK_TEST_NO_WIDGETS
#include <QAbstractButton>
#include <QTest>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <numeric>
#include <ostream>
#include <span>
#include <vector>

#include "link/DeviceLink.h"
#include "support/Clock.h"
#include "support/Numbers.h"

// Readable QString values in test failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace tuvik::test {

#ifndef TUVIK_TEST_NO_WIDGETS
// A control by its object name; a missing one fails the test.
template <typename T>
T* Find(const QObject* in, const QString& name) {
    T* w = in->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

inline void Click(const QObject* in, const QString& name) {
    if (auto* b = Find<QAbstractButton>(in, name)) {
        QTest::mouseClick(b, Qt::LeftButton);
    }
}
#endif

// A clock's time that runs on from `start` as the machine's does: the day's
// files are that day's, whatever the date.
inline Clock::Source RunningFrom(const QDateTime& start) {
    return [start = start.toMSecsSinceEpoch(), at = QDateTime::currentMSecsSinceEpoch()] {
        return start + (QDateTime::currentMSecsSinceEpoch() - at);
    };
}

// Runs the event loop until pred() holds or the time runs out; returns pred().
bool WaitUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
// Runs the event loop for the given time.
void Pump(std::chrono::milliseconds d);

QByteArray Hex(const char* spaced);  // "85 03 2C 01" -> bytes
inline std::span<const uint8_t> Bytes(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}
// A whole file, or "<missing>" when it cannot be read.
QByteArray ReadFile(const QString& path);
// Writes (replaces) a file, making its folder; false when that fails.
bool WriteFile(const QString& path, const QByteArray& bytes);

// The mean (the double sum over the count), minimum and maximum of a
// second's singles, worked out here rather than by the history's own code.
struct SecondStats {
    double mean;
    float min, max;
};
inline SecondStats StatsOf(const std::vector<float>& xs) {
    const auto [lo, hi] = std::minmax_element(xs.begin(), xs.end());
    return {std::accumulate(xs.begin(), xs.end(), 0.0) / static_cast<double>(xs.size()), *lo, *hi};
}

// A live-values reply 92 10, data bytes 01..10, then the given trailer
// (6D is the good one).
QByteArray LiveValues(uint8_t trailer);
// The data of a live-values reply (0x92 or 0x96): four singles in the order
// they come on the wire.
std::vector<uint8_t> LiveSingles(float out, float meas, float sp, float fw);
// What a query on a history file returns: a row a text, its fields between
// spaces; the reason instead when the file cannot be read.
QStringList HistoryRows(const QString& path, const QString& sql);

// Puts the program's decimal separator back as it was when the guard ends;
// the second form also sets it for the guard's lifetime.
class SeparatorGuard {
  public:
    SeparatorGuard() : saved_(DecimalSeparator()) {}
    explicit SeparatorGuard(QChar sep) : SeparatorGuard() { SetDecimalSeparator(sep); }
    ~SeparatorGuard() { SetDecimalSeparator(saved_); }
    SeparatorGuard(const SeparatorGuard&) = delete;
    SeparatorGuard& operator=(const SeparatorGuard&) = delete;

  private:
    QChar saved_;
};

}  // namespace tuvik::test
