#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "shell/ConnectionSettings.h"

using namespace tuvik;

TEST(ConnectionSettings, MissingOrEmptyValuesGiveDefaultsAndReadingWritesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("store.ini");
    {
        QSettings store(path, QSettings::IniFormat);
        EXPECT_EQ(LoadConnectionSettings(store), (ConnectionTexts{"2", "57600", "333"}));
    }
    EXPECT_FALSE(QFile::exists(path)) << "nothing written by reading";
    {
        QSettings store(path, QSettings::IniFormat);
        store.setValue("Settings/ComPort", "");
        store.setValue("Settings/ComSpeed", QStringList{"38400", "x"});  // not a text
        store.setValue("Settings/RefreshRate", "150");
    }
    QSettings store(path, QSettings::IniFormat);
    EXPECT_EQ(LoadConnectionSettings(store), (ConnectionTexts{"2", "57600", "150"}));
}

TEST(ConnectionSettings, SavedAsTheLeadingNumberOfEachBox) {
    EXPECT_EQ(StoredNumberText("3 "), QStringLiteral("3"));
    EXPECT_EQ(StoredNumberText(" 57600 baud"), QStringLiteral("57600"));
    EXPECT_EQ(StoredNumberText(""), QStringLiteral("0"));
    EXPECT_EQ(StoredNumberText("fast"), QStringLiteral("0"));
    EXPECT_EQ(StoredNumberText("1.5"), QStringLiteral("1.5"));
    // The port box also takes a device: a name or path is kept as typed.
    EXPECT_EQ(StoredPortText(" 3x"), QStringLiteral("3"));
    EXPECT_EQ(StoredPortText(""), QStringLiteral("0"));
    EXPECT_EQ(StoredPortText(" /dev/ttyUSB0 "), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(StoredPortText("COM3"), QStringLiteral("COM3"));

    QTemporaryDir dir;
    const QString path = dir.filePath("store.ini");
    {
        QSettings store(path, QSettings::IniFormat);
        SaveConnectionSettings(store, {"4 ", "76800x", "abc"});
    }
    QSettings store(path, QSettings::IniFormat);
    EXPECT_EQ(store.value("Settings/ComPort").toString(), QStringLiteral("4"));
    EXPECT_EQ(store.value("Settings/ComSpeed").toString(), QStringLiteral("76800"));
    EXPECT_EQ(store.value("Settings/RefreshRate").toString(), QStringLiteral("0"));
    // "0" is not empty: it reads back as stored.
    EXPECT_EQ(LoadConnectionSettings(store), (ConnectionTexts{"4", "76800", "0"}));
}
