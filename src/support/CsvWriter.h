#pragma once
// Rows of the program's delimited text files: the chart and history exports,
// the recording dump, the daily message log and step tests. Each file names
// its separator, its line end and what becomes of a field that holds the
// separator, so that every file keeps its own bytes.

#include <QChar>
#include <QString>
#include <QStringList>

namespace tuvik {

enum class CsvQuoting {
    None,        // fields go as they are: numbers and fixed texts
    WhenNeeded,  // a field holding the separator or '"' goes in quotes, '"' doubled
    Replace,     // a separator in a field becomes ',' and a line break a blank
};

class CsvWriter {
  public:
    CsvWriter(QChar separator, CsvQuoting quoting, QString lineEnd = QStringLiteral("\r\n"));

    // The fields, each as the quoting has it, joined, without the line end.
    QString Row(const QStringList& fields) const;
    // Adds a row with its line end to text().
    void Add(const QStringList& fields);
    const QString& text() const { return text_; }

  private:
    QString Field(QString text) const;

    QChar separator_;
    CsvQuoting quoting_;
    QString lineEnd_;
    QString text_;
};

}  // namespace tuvik
