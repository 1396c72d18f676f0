#pragma once
// The history window: one loop over the last hour, day, week or month, or
// between two times, drawn through the chart's database drawing from one
// query per drawing; the chart tools zoom and pan (querying again), read the
// cursor, export CSV and PNG, and show the text of a clicked mark. The
// retention of the history is set here too.

#include <QWidget>

#include <memory>

#include "trend/HistoryDb.h"
#include "trend/HistoryView.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QSpinBox;
class QTimer;

namespace tuvik {

class Session;
class TrendChartWidget;

class frmHistory : public QWidget {
    Q_OBJECT
  public:
    enum Span { LastHour, LastDay, LastWeek, LastMonth, FromTo };

    explicit frmHistory(Session& session, QWidget* parent = nullptr);
    ~frmHistory() override;

    // Queries and draws the chosen loop and span again (the chosen span
    // ends at the history's now).
    void Show();
    const HistoryView& view() const { return view_; }
    TrendChartWidget* chart() const { return chart_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Draw();
    void Choose();
    // Which history is shown: the live one or a replay's.
    QString SourceText() const;
    void RetentionChanged(int days);

    Session& session_;
    HistoryView view_;
    std::unique_ptr<HistoryDb> reader_;
    QComboBox* loop_;
    QComboBox* span_;
    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
    QSpinBox* days_;
    QLabel* status_;
    TrendChartWidget* chart_;
    QTimer* resized_;
};

}  // namespace tuvik
