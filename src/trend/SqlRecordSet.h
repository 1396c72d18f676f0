#pragma once
// A record set over the result of a Qt SQL query (SQLite in the program).

#include <QSqlQuery>
#include <QSqlRecord>

#include "trend/RecordSet.h"

namespace tuvik {

class SqlRecordSet : public RecordSet {
  public:
    // Takes an executed query and stands on its first record, as a freshly
    // opened result does.
    explicit SqlRecordSet(QSqlQuery query);

    void MoveFirst() override;
    void MoveNext() override;
    QVariant Fields(const QString& name) override;

  private:
    QSqlQuery query_;
    QSqlRecord columns_;  // names only, taken once
};

}  // namespace tuvik
