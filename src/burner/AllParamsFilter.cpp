#include "burner/AllParamsFilter.h"

namespace tuvik {

AllParamsFilter::AllParamsFilter(AllParamsModel& model, QObject* parent)
    : QSortFilterProxyModel(parent), model_(model) {
    setSourceModel(&model);
    // A value edited in the grid can take its row out of "changed only" or
    // into it at once.
    setDynamicSortFilter(true);
}

void AllParamsFilter::setText(const QString& text) {
    const QString t = text.trimmed();
    if (t != text_) {
        text_ = t;
        invalidateFilter();
    }
}

void AllParamsFilter::setChangedOnly(bool on) {
    if (on != changedOnly_) {
        changedOnly_ = on;
        invalidateFilter();
    }
}

bool AllParamsFilter::filterAcceptsRow(int row, const QModelIndex&) const {
    if (changedOnly_ && !model_.changed(row)) {
        return false;
    }
    return text_.isEmpty() || model_.name(row).contains(text_, Qt::CaseInsensitive) ||
           model_.addressText(row).contains(text_);
}

bool AllParamsFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const int a = left.row();
    const int b = right.row();
    switch (left.column()) {
        case AllParamsModel::ColCheck:
            return model_.checked(a) < model_.checked(b);
        case AllParamsModel::ColAddress:
        case AllParamsModel::ColValue: {
            // Numbers as numbers; a row without one sorts first.
            const QString x = left.column() == AllParamsModel::ColAddress ? model_.addressText(a)
                                                                          : model_.valueText(a);
            const QString y = left.column() == AllParamsModel::ColAddress ? model_.addressText(b)
                                                                          : model_.valueText(b);
            bool okX = false;
            bool okY = false;
            const double nx = x.trimmed().toDouble(&okX);
            const double ny = y.trimmed().toDouble(&okY);
            if (okX != okY) {
                return !okX;
            }
            return okX ? nx < ny : x < y;
        }
        default:
            return QString::compare(model_.name(a), model_.name(b), Qt::CaseInsensitive) < 0;
    }
}

}  // namespace tuvik
