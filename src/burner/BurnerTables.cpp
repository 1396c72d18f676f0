#include "burner/BurnerTables.h"

namespace tuvik {

const std::array<QString, kStateNameCount>& StateNames() {
    static const std::array<QString, kStateNameCount> table = [] {
        std::array<QString, kStateNameCount> t;
        for (int i = 0; i < kStateNameCount; ++i) {
            t[static_cast<size_t>(i)] = QString::number(i);
        }
        t[0] = QStringLiteral(" Initialize  ");
        t[9] = QStringLiteral(" Startup     ");
        t[10] = QStringLiteral(" Startup_hot ");
        t[11] = QStringLiteral(" 11          ");
        t[19] = QStringLiteral(" Running_init");
        t[20] = QStringLiteral(" Running     ");
        t[30] = QStringLiteral(" Idle        ");
        t[31] = QStringLiteral(" Idle->run ");
        t[32] = QStringLiteral(" Idle->run_2 ");
        t[40] = QStringLiteral(" Off_mode    ");
        t[60] = QStringLiteral(" Clean_F_off ");
        t[61] = QStringLiteral(" Clean_F_on  ");
        t[99] = QStringLiteral(" Error_state ");
        return t;
    }();
    return table;
}

const QString* StateNameAt(int index) {
    if (index < 0 || index >= kStateNameCount) {
        return nullptr;
    }
    return &StateNames()[static_cast<size_t>(index)];
}

const std::array<QString, kActivityNameCount>& ActivityNames() {
    static const std::array<QString, kActivityNameCount> table = {
        QStringLiteral("Grate  "), QStringLiteral("Fuel   "), QStringLiteral("Ign    "),
        QStringLiteral("Heater "), QStringLiteral("Air    "), QStringLiteral("5      "),
        QStringLiteral("6      "), QStringLiteral("7      "), QStringLiteral("8      "),
        QStringLiteral("9      "), QString()};
    return table;
}

}  // namespace tuvik
