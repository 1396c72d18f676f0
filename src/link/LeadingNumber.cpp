#include "link/LeadingNumber.h"

#include <cmath>
#include <limits>

namespace tuvik {

double LeadingNumber(const QString& text) {
    // Blanks are skipped anywhere, so "7 68 00" reads as 76800.
    QString s;
    s.reserve(text.size());
    for (const QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r') {
            s.append(c);
        }
    }
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto digitAt = [&](qsizetype k) { return k < n && s[k] >= u'0' && s[k] <= u'9'; };

    QString num;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        num.append(s[i++]);
    }
    bool any = false;
    while (digitAt(i)) {
        num.append(s[i++]);
        any = true;
    }
    if (i < n && s[i] == u'.') {
        num.append(s[i++]);
        while (digitAt(i)) {
            num.append(s[i++]);
            any = true;
        }
    }
    if (!any) {
        return 0.0;
    }
    if (i < n && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        qsizetype k = i + 1;
        QString exp = QStringLiteral("e");
        if (k < n && (s[k] == u'+' || s[k] == u'-')) {
            exp.append(s[k++]);
        }
        if (digitAt(k)) {
            while (digitAt(k)) {
                exp.append(s[k++]);
            }
            num.append(exp);
        }
    }
    bool ok = false;
    const double v = num.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

int LeadingWholeNumber(const QString& text) {
    const double v = std::nearbyint(LeadingNumber(text));  // default rounding: half to even
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(v);
}

}  // namespace tuvik
