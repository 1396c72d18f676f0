#include "burner/Captions.h"

#include <array>
#include <cmath>

#include "burner/NumberText.h"

namespace tuvik {

namespace {

struct Entry {
    int number;
    const char* english;
    const char* finnish;  // UTF-8
};

constexpr std::array<Entry, 12> kStrings = {{
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
}};

std::optional<QString> Lookup(const std::optional<int>& number, Language language,
                              bool onlyPositive) {
    if (!number || (onlyPositive && *number <= 0)) {
        return std::nullopt;
    }
    const QString text = LookupString(*number, language);
    if (text.isNull()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

Language UiLanguage(const QLocale& locale) {
    return locale.language() == QLocale::Finnish ? Language::Finnish : Language::English;
}

QString LookupString(int number, Language language) {
    for (const Entry& e : kStrings) {
        if (e.number == number) {
            return QString::fromUtf8(language == Language::Finnish ? e.finnish : e.english);
        }
    }
    return QString();
}

std::optional<int> NumberFromText(const QString& text) {
    const std::optional<double> v = StrictNumber(text);
    if (!v) {
        return std::nullopt;
    }
    const double n = std::floor(*v);
    if (n < -2147483648.0 || n > 2147483647.0) {
        return std::nullopt;
    }
    return static_cast<int>(n);
}

CaptionUpdate LocaliseControl(CaptionKind kind, const QString& tag, const QString& tooltip,
                              const QString& caption, Language language) {
    CaptionUpdate out;
    switch (kind) {
        case CaptionKind::Label:
            out.caption = Lookup(NumberFromText(tag), language, false);
            break;
        case CaptionKind::MenuItem:
            out.caption = Lookup(NumberFromText(caption), language, false);
            break;
        case CaptionKind::Other:
            out.caption = Lookup(NumberFromText(tag), language, true);
            out.tooltip = Lookup(NumberFromText(tooltip), language, true);
            break;
    }
    return out;
}

}  // namespace tuvik
