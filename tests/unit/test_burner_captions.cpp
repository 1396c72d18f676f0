#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>

#include <algorithm>

#include "TestUtil.h"
#include "burner/Captions.h"

using namespace tuvik;

TEST(Captions, StringTableInBothLanguages) {
    const struct {
        int n;
        const char* en;
        const char* fi;
    } table[] = {
        {10001, "Save to file", "Tallenna tiedostoon"},
        {10002, "Read from file", "Lue tiedostosta"},
        {10003, "Send params", "Lähetä arvot"},
        {10004, "Read params", "Lue arvot"},
        {10101, "Grate", "Arina"},
        {10102, "Fuel auger", "Polttoaineruuvi"},
        {10103, "Flame ignition", "Kipinä"},
        {10104, "Startup heater", "Sytytysvastys"},
        {10105, "Air blower", "Ilmapuhallus"},
        {10150, "Save measurements to file", "Tallenna mittaukset tiedostoon"},
        {10151, "Address", "Osoite"},
        {10152, "Value", "Arvo"},
    };
    for (const auto& e : table) {
        EXPECT_EQ(LookupString(e.n, Language::English), QString::fromUtf8(e.en)) << e.n;
        EXPECT_EQ(LookupString(e.n, Language::Finnish), QString::fromUtf8(e.fi)) << e.n;
    }
    EXPECT_TRUE(LookupString(10005, Language::English).isNull());
    EXPECT_TRUE(LookupString(0, Language::Finnish).isNull());

    EXPECT_EQ(UiLanguage(QLocale(QLocale::Finnish, QLocale::Finland)), Language::Finnish);
    EXPECT_EQ(UiLanguage(QLocale(QLocale::Swedish, QLocale::Finland)), Language::English);
    EXPECT_EQ(UiLanguage(QLocale(QLocale::English, QLocale::UnitedStates)), Language::English);
}

TEST(Captions, NumbersFromText) {
    EXPECT_EQ(NumberFromText(QStringLiteral("10150")), 10150);
    EXPECT_EQ(NumberFromText(QStringLiteral(" 10150.9 ")), 10150);
    EXPECT_EQ(NumberFromText(QStringLiteral("-3.5")), -4);
    EXPECT_EQ(NumberFromText(QString()), std::nullopt);
    EXPECT_EQ(NumberFromText(QStringLiteral("Tamun ohjaus 0-100")), std::nullopt);
    EXPECT_EQ(NumberFromText(QStringLiteral("50 -150")), std::nullopt);
}

TEST(Captions, WhatAControlTakes) {
    const QString none;
    // The burner window's LED captions and check box.
    auto led = LocaliseControl(CaptionKind::Label, QStringLiteral("10101"), none,
                               QStringLiteral("Arina"), Language::English);
    EXPECT_EQ(led.caption, QStringLiteral("Grate"));
    EXPECT_EQ(led.tooltip, std::nullopt);
    led = LocaliseControl(CaptionKind::Label, QStringLiteral("10104"), none,
                          QStringLiteral("Sytytysvastus"), Language::Finnish);
    EXPECT_EQ(led.caption, QStringLiteral("Sytytysvastys"));
    auto check =
        LocaliseControl(CaptionKind::Other, QStringLiteral("10150"), none,
                        QStringLiteral("Tallenna mittaukset tiedostoon"), Language::English);
    EXPECT_EQ(check.caption, QStringLiteral("Save measurements to file"));

    // The send button of the all-parameters window, designed as "Lähetä".
    for (auto [lang, text] : {std::pair{Language::English, "Send params"},
                              std::pair{Language::Finnish, "Lähetä arvot"}}) {
        EXPECT_EQ(LocaliseControl(CaptionKind::Other, QStringLiteral("10003"), none,
                                  QString::fromUtf8("Lähetä"), lang)
                      .caption,
                  QString::fromUtf8(text));
    }

    // Ordinary tooltips, empty tags, 0 and unknown numbers change nothing.
    auto box = LocaliseControl(CaptionKind::Other, none, QStringLiteral("Tamun ohjaus 0-100"),
                               QStringLiteral("0"), Language::English);
    EXPECT_EQ(box.caption, std::nullopt);
    EXPECT_EQ(box.tooltip, std::nullopt);
    EXPECT_EQ(LocaliseControl(CaptionKind::Other, QStringLiteral("0"), QStringLiteral("99999"),
                              none, Language::English)
                  .caption,
              std::nullopt);
    EXPECT_EQ(LocaliseControl(CaptionKind::Label, QStringLiteral("x"), none, QStringLiteral("Arvo"),
                              Language::English)
                  .caption,
              std::nullopt);

    // A tooltip number is looked up for other controls; a menu item's number
    // stands in its caption.
    EXPECT_EQ(
        LocaliseControl(CaptionKind::Other, none, QStringLiteral("10151"), none, Language::Finnish)
            .tooltip,
        QStringLiteral("Osoite"));
    EXPECT_EQ(LocaliseControl(CaptionKind::MenuItem, QStringLiteral("10002"),
                              QStringLiteral("10002"), QStringLiteral("10001"), Language::English)
                  .caption,
              QStringLiteral("Save to file"));
}

TEST(Captions, StringTableFileFormat) {
    const QHash<int, QString> t = ParseStringTable(
        "# comment 10001\tnot this\r\n"
        "10001\tSave to file\r\n"
        "\n"
        "abc\tskipped\n"
        "\tskipped too\n"
        "10003 \tL\xC3\xA4het\xC3\xA4 arvot\n"
        "10150\twith\ttab\n"
        "10004\tlast line without its end");
    EXPECT_EQ(t.size(), 4);
    EXPECT_EQ(t.value(10001), QStringLiteral("Save to file"));
    EXPECT_EQ(t.value(10003), QString::fromUtf8("Lähetä arvot"));
    EXPECT_EQ(t.value(10150), QStringLiteral("with\ttab"));
    EXPECT_EQ(t.value(10004), QStringLiteral("last line without its end"));

    // Both languages come from the program's resources and hold the same numbers.
    QFile en(StringTablePath(Language::English));
    QFile fi(StringTablePath(Language::Finnish));
    ASSERT_TRUE(en.open(QIODevice::ReadOnly));
    ASSERT_TRUE(fi.open(QIODevice::ReadOnly));
    auto keys = [](const QHash<int, QString>& h) {
        QList<int> k = h.keys();
        std::sort(k.begin(), k.end());
        return k;
    };
    EXPECT_EQ(keys(ParseStringTable(en.readAll())), keys(ParseStringTable(fi.readAll())));
}
