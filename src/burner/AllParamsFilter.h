#pragma once
// The all-parameters grid as the operator narrows it: rows whose name or
// address contains the typed text, optionally only the rows whose value
// differs from the one last read from the burner or loaded from a file, and
// sorted by any column. Only the view changes: the rows, their check boxes,
// their values and the order sends and saves walk stay those of the model.

#include <QSortFilterProxyModel>

#include "burner/AllParamsModel.h"

namespace tuvik {

class AllParamsFilter : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit AllParamsFilter(AllParamsModel& model, QObject* parent = nullptr);

    void setText(const QString& text);
    void setChangedOnly(bool on);

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    AllParamsModel& model_;
    QString text_;
    bool changedOnly_ = false;
};

}  // namespace tuvik
