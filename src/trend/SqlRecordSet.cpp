#include "trend/SqlRecordSet.h"

#include <QSqlRecord>

namespace tuvik {

namespace {

RecordSetError NoCurrentRecord() {
    return RecordSetError(RecordSetError::kNoCurrentRecord, QStringLiteral("No current record."));
}

}  // namespace

SqlRecordSet::SqlRecordSet(QSqlQuery query) : query_(std::move(query)) {
    columns_ = query_.record();
    if (query_.isActive() && query_.isSelect()) {
        query_.first();
    }
}

void SqlRecordSet::MoveFirst() {
    if (!query_.isActive() || !query_.first()) {
        throw NoCurrentRecord();
    }
}

void SqlRecordSet::MoveNext() {
    if (!query_.isValid()) {
        throw NoCurrentRecord();
    }
    query_.next();  // past the last record leaves no current record, which is not an error yet
}

QVariant SqlRecordSet::Fields(const QString& name) {
    // The column is looked up before the position is checked, so a wrong
    // name is reported even on an empty result.
    const int column = columns_.indexOf(name);
    if (column < 0) {
        throw RecordSetError(RecordSetError::kItemNotFound,
                             QStringLiteral("Item not found in this collection."));
    }
    if (!query_.isValid()) {
        throw NoCurrentRecord();
    }
    return query_.value(column);
}

}  // namespace tuvik
