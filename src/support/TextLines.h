#pragma once
// Text files read line by line. Files written on any system come in: a line
// ends at CR LF, at a lone LF or at a lone CR, and each line says which end
// it had, for the formats that allow only one.

#include <QByteArrayView>
#include <QList>
#include <QStringView>

namespace tuvik {

enum class LineEnd { None, CrLf, Lf, Cr };

template <typename View>
struct TextLine {
    View text;  // without its end
    LineEnd end;
};

// The lines in order. A last line without an end is a line; text that ends
// with a line end has no empty line after it.
template <typename View>
QList<TextLine<View>> SplitLines(View text) {
    QList<TextLine<View>> lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype end = start;
        while (end < n && text[end] != u'\r' && text[end] != u'\n') {
            ++end;
        }
        LineEnd kind = LineEnd::None;
        qsizetype next = end;
        if (end < n && text[end] == u'\n') {
            kind = LineEnd::Lf;
            next = end + 1;
        } else if (end < n) {
            const bool crlf = end + 1 < n && text[end + 1] == u'\n';
            kind = crlf ? LineEnd::CrLf : LineEnd::Cr;
            next = end + (crlf ? 2 : 1);
        }
        lines.append({text.sliced(start, end - start), kind});
        start = next;
    }
    return lines;
}

inline QList<TextLine<QByteArrayView>> SplitLines(const QByteArray& bytes) {
    return SplitLines(QByteArrayView(bytes));
}
inline QList<TextLine<QStringView>> SplitLines(const QString& text) {
    return SplitLines(QStringView(text));
}

}  // namespace tuvik
