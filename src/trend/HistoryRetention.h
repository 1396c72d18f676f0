#pragma once
// Lowering the history's retention deletes rows for good, so the window
// asks first, saying from when on the history would go; these are the
// decisions behind that question.

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace tuvik {

// The end (UTC seconds, exclusive) of the oldest row any table of the
// history holds: a second, a minute or hour row's whole span, an event, a
// burner row. None when the history is empty or cannot be read.
std::optional<qint64> HistoryOldestEnd(const QSqlDatabase& db);

// What to ask before the retention becomes `days` at nowSec, as
// "Remove the history older than 30 days (before 8 Nov 2026)?"; none when
// nothing kept is that old (oldestEnd as HistoryOldestEnd gives it).
std::optional<QString> RetentionQuestion(int days, std::optional<qint64> oldestEnd, qint64 nowSec);
// The same question for the history file at `path`, read through a
// connection of its own named `connection` (the store may be writing
// another file meanwhile); a file that cannot be read asks nothing.
std::optional<QString> RetentionQuestionFor(const QString& path, const QString& connection,
                                            int days, qint64 nowSec);

}  // namespace tuvik
