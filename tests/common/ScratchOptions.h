#pragma once
// A main window's options for the tests and the screenshot tool: its settings
// in a scratch file of the given folder, its dialogs answered by the given
// recorder.
#include <QSettings>
#include <QString>

#include <memory>

#include "shell/ui/frmPID.h"

namespace tuvik::test {

inline frmPID::Options ScratchOptions(const QString& dir, UserDialogs* dialogs) {
    frmPID::Options o;
    o.openSettings = [dir] {
        return std::make_unique<QSettings>(dir + QStringLiteral("/store.ini"),
                                           QSettings::IniFormat);
    };
    o.dialogs = dialogs;
    return o;
}

}  // namespace tuvik::test
