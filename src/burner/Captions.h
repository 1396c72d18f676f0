#pragma once
// Translated captions of the burner windows. The windows are designed with
// Finnish captions; a control that has a translation carries the text's
// number in its tag (or, for menu items, in its caption), and at load time
// its caption becomes the text of that number in the interface language.

#include <QByteArray>
#include <QHash>
#include <QLocale>
#include <QString>

#include <optional>

namespace tuvik {

enum class Language { English, Finnish };

// Finnish when the locale's language is Finnish, English otherwise.
Language UiLanguage(const QLocale& locale = QLocale::system());

// The string tables are program resources, one text file per language
// (":/strings_en.txt", ":/strings_fi.txt"): one "number<TAB>text" per line in
// UTF-8; blank lines, lines starting with "#" and lines without a whole
// number before the tab are skipped.
QString StringTablePath(Language language);
QHash<int, QString> ParseStringTable(const QByteArray& bytes);

// The text of a number in the string table; a null QString when the table
// does not hold the number (or the table is not there).
QString LookupString(int number, Language language);

// A number taken from a tag, tooltip or caption: the text read as a number
// and rounded down; nothing when the text is not a number.
std::optional<int> NumberFromText(const QString& text);

// How a control takes its translation.
enum class CaptionKind {
    Label,     // caption from the tag
    MenuItem,  // caption from the number written in the caption itself
    Other,     // caption from the tag, tooltip from the number in the tooltip (each when > 0)
};

// What to change on one control; an empty member leaves that property as it is.
struct CaptionUpdate {
    std::optional<QString> caption;
    std::optional<QString> tooltip;
};

// The translation of one control, given its tag, tooltip and caption. Tags
// and tooltips that hold ordinary text, and numbers the table does not
// hold, change nothing. (Tab strips, toolbars and list headers take their
// parts one by one through the same rules: a tab as Other with its tag and
// tooltip, a toolbar button as Other with only a tooltip, a header as Label.)
CaptionUpdate LocaliseControl(CaptionKind kind, const QString& tag, const QString& tooltip,
                              const QString& caption, Language language);

}  // namespace tuvik
