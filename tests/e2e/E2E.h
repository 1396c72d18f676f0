#pragma once
// What the end-to-end tests share: the two links they run over, finding a
// window's controls by their object names and clicking them, and counting
// the analog input samples that have arrived.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QObject>
#include <QString>
#include <QTest>

#include <algorithm>

#include <string>

#include "link/DispatchState.h"

namespace tuvik::test {

enum class Via { Pty, Tcp };

inline const char* ViaName(Via v) {
    return v == Via::Pty ? "Pty" : "Tcp";
}
inline void PrintTo(Via v, std::ostream* os) {
    *os << ViaName(v);
}
inline std::string ViaParamName(const ::testing::TestParamInfo<Via>& info) {
    return ViaName(info.param);
}

template <class T>
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

// Samples held for analog input k (0..7).
inline int AnalogHeld(const DispatchState& st, int k) {
    const TrendArray& a = k < 4 ? st.AnalogTrend1 : st.AnalogTrend2;
    int n = 0;
    while (n + 2 <= TrendArray::kLastPoint && a.at(k % 4, n + 2).isNumber()) {
        ++n;
    }
    return n;
}
// Samples held for the input that has the fewest.
inline int AnalogFewestHeld(const DispatchState& st) {
    int least = TrendArray::kLastPoint;
    for (int k = 0; k < 8; ++k) {
        least = std::min(least, AnalogHeld(st, k));
    }
    return least;
}

}  // namespace tuvik::test
