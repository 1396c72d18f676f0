#include "support/CsvWriter.h"

namespace tuvik {

CsvWriter::CsvWriter(QChar separator, CsvQuoting quoting, QString lineEnd)
    : separator_(separator), quoting_(quoting), lineEnd_(std::move(lineEnd)) {}

QString CsvWriter::Field(QString text) const {
    switch (quoting_) {
        case CsvQuoting::None:
            break;
        case CsvQuoting::WhenNeeded:
            if (text.contains(separator_) || text.contains(QLatin1Char('"'))) {
                text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
                return QLatin1Char('"') + text + QLatin1Char('"');
            }
            break;
        case CsvQuoting::Replace:
            for (QChar& c : text) {
                if (c == separator_) {
                    c = QLatin1Char(',');
                } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                    c = QLatin1Char(' ');
                }
            }
            break;
    }
    return text;
}

QString CsvWriter::Row(const QStringList& fields) const {
    QString row;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            row += separator_;
        }
        row += Field(fields[i]);
    }
    return row;
}

void CsvWriter::Add(const QStringList& fields) {
    text_ += Row(fields) + lineEnd_;
}

}  // namespace tuvik
