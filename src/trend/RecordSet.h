#pragma once
// The database result the chart can draw from: a current-record position that
// can go to the first record and on to the next, and the value of a named
// column in the current record. Failures are thrown as RecordSetError with a
// number and a description.

#include <QString>
#include <QVariant>

#include <exception>

namespace tuvik {

class RecordSetError : public std::exception {
  public:
    // No current record: before the first or past the last record, or an
    // empty result.
    static constexpr int kNoCurrentRecord = 3021;
    // The result has no column of that name.
    static constexpr int kItemNotFound = 3265;

    RecordSetError(int number, QString description)
        : number_(number), description_(std::move(description)) {}

    int number() const { return number_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return "record set error"; }

  private:
    int number_;
    QString description_;
};

class RecordSet {
  public:
    virtual ~RecordSet() = default;
    // To the first record; an empty result has no current record afterwards
    // and throws kNoCurrentRecord.
    virtual void MoveFirst() = 0;
    // To the next record; after the last one there is no current record.
    // Throws kNoCurrentRecord when there is none already.
    virtual void MoveNext() = 0;
    // The value of a column of the current record, looked up by name.
    virtual QVariant Fields(const QString& name) = 0;
};

// How the chart tells the user about a failure it cannot draw around. The
// windows show it as a message box.
class UserNotifier {
  public:
    virtual ~UserNotifier() = default;
    virtual void ShowMessage(const QString& text) = 0;
};

}  // namespace tuvik
