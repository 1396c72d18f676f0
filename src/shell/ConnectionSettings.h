#pragma once
// The three connection texts of the main window as the settings store keeps
// them: group "Settings", values "ComPort", "ComSpeed" and "RefreshRate".
// Reading never writes; a value that is missing, empty or not a text gives
// its default. Saving stores the leading number of each box as text.

#include <QSettings>
#include <QString>

#include <functional>
#include <memory>

namespace tuvik {

struct ConnectionTexts {
    QString comPort;
    QString speed;
    QString refresh;

    bool operator==(const ConnectionTexts&) const = default;
};

namespace ConnectionDefaults {
inline QString ComPort() {
    return QStringLiteral("2");
}
inline QString Speed() {
    return QStringLiteral("57600");
}
inline QString Refresh() {
    return QStringLiteral("333");
}
}  // namespace ConnectionDefaults

// Opens the settings store for one operation. The program's store is the
// platform's own (registry, config file) under "VUD_OV"; tests give a file.
using SettingsOpener = std::function<std::unique_ptr<QSettings>()>;
SettingsOpener DefaultSettingsOpener();

// The stored texts, each replaced by its default when missing or empty.
ConnectionTexts LoadConnectionSettings(QSettings& store);

// The leading number of a box as it is stored: "3 " gives "3", "57600 baud"
// gives "57600", an empty or non-numeric box gives "0".
QString StoredNumberText(const QString& boxText);

// The port box as it is stored: its leading number, except that a device
// name or path ("/dev/ttyUSB0", "COM3") is kept as typed, since the link
// takes those too and a stored 0 would lose it.
QString StoredPortText(const QString& boxText);

// Writes the leading number of each box (the port box by StoredPortText).
void SaveConnectionSettings(QSettings& store, const ConnectionTexts& boxes);

}  // namespace tuvik
