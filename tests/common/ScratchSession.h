#pragma once
// The window-free suites' session: its folders and its settings store in one
// scratch folder, the shipped data files beside. Not started, so that a test
// can set the clock first.
#include <QSettings>

#include <memory>

#include "shell/Session.h"

namespace tuvik::test {

inline std::unique_ptr<Session> ScratchSession(const QString& folder) {
    auto s = std::make_unique<Session>(
        AppPaths(folder, folder, {folder, QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
    const SettingsOpener store = [folder] {
        return std::make_unique<QSettings>(folder + "/store.ini", QSettings::IniFormat);
    };
    s->connection().setSettingsOpener(store);
    s->recorder().setSettingsOpener(store);
    return s;
}

// A started scratch session with the loops at their start-up settings, the
// first one selected, opening the serial link at port as the monitor does.
inline std::unique_ptr<Session> SerialSession(const QString& folder, const QString& port) {
    auto s = ScratchSession(folder);
    s->Start();
    s->loops().InitialiseStartupLoops();
    s->loops().SetSelectedIndex(0);
    s->connection().setTexts({port, QStringLiteral("57600"), QStringLiteral("50")});
    s->connection().Toggle();
    return s;
}

}  // namespace tuvik::test
