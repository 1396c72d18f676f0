#include "burner/Captions.h"

#include <QFile>

#include <cmath>

#include "burner/NumberText.h"
#include "support/TextLines.h"

namespace tuvik {

namespace {

// Read once per run and language; the tables are part of the program.
const QHash<int, QString>& Table(Language language) {
    static const QHash<int, QString> english = [] {
        QFile f(StringTablePath(Language::English));
        return f.open(QIODevice::ReadOnly) ? ParseStringTable(f.readAll()) : QHash<int, QString>();
    }();
    static const QHash<int, QString> finnish = [] {
        QFile f(StringTablePath(Language::Finnish));
        return f.open(QIODevice::ReadOnly) ? ParseStringTable(f.readAll()) : QHash<int, QString>();
    }();
    return language == Language::Finnish ? finnish : english;
}

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

QString StringTablePath(Language language) {
    return language == Language::Finnish ? QStringLiteral(":/strings_fi.txt")
                                         : QStringLiteral(":/strings_en.txt");
}

QHash<int, QString> ParseStringTable(const QByteArray& bytes) {
    QHash<int, QString> table;
    const QString text = QString::fromUtf8(bytes);
    for (const TextLine<QStringView>& each : SplitLines(text)) {
        const QStringView line = each.text;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (line.startsWith(QLatin1Char('#')) || tab <= 0) {
            continue;
        }
        bool ok = false;
        const int number = line.left(tab).trimmed().toInt(&ok);
        if (ok) {
            table.insert(number, line.mid(tab + 1).toString());
        }
    }
    return table;
}

QString LookupString(int number, Language language) {
    return Table(language).value(number);
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
