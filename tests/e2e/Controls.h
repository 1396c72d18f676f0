#pragma once
// What the end-to-end tests share: the two links they run over, and finding
// a window's controls by their object names and clicking them.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QObject>
#include <QString>
#include <QTest>

#include <string>

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

}  // namespace tuvik::test
