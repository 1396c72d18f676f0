#pragma once
// The history window: one loop over the last hour, day, week or month, or
// between two times, drawn through the chart's database drawing from one
// query per drawing; the chart tools zoom and pan (querying again), read the
// cursor, export CSV and PNG, and show the text of a clicked mark. The
// retention of the history is set here too, once the operator has finished
// typing it, and a retention that would delete rows is asked first.
// "Open history file..." shows a history file another program writes (the
// monitor's, say) instead of the live one, read-only: nothing in it is
// written or pruned, and the retention box waits until "Live history".

#include <QWidget>

#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

#include "trend/HistoryDb.h"
#include "trend/HistoryView.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

namespace tuvik {

class HistoryStore;
class TrendChartWidget;
class UserDialogs;

// What the window shows and changes.
struct HistorySource {
    HistoryStore& history;
    // The loops by name; the window offers the first two, as the main
    // window's selector does.
    QStringList loopNames;
    int selectedLoop = 0;
    // The live history's file, which the retention question names.
    std::function<QString()> livePath;
    // The replay's name while one plays.
    std::function<std::optional<QString>()> replayName;
    // Keeps the retention for the next start.
    std::function<void(int days)> saveRetentionDays;
};

class frmHistory : public QWidget {
    Q_OBJECT
  public:
    enum Span { LastHour, LastDay, LastWeek, LastMonth, FromTo };

    // dialogs: where the retention question is asked and the history file
    // chosen; the program's boxes when null.
    explicit frmHistory(HistorySource source, QWidget* parent = nullptr,
                        UserDialogs* dialogs = nullptr);
    ~frmHistory() override;

    // Queries and draws the chosen loop and span again (the chosen span
    // ends at the history's now); also when a replay starts or ends.
    void Show();
    const HistoryView& view() const { return view_; }
    TrendChartWidget* chart() const { return chart_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Draw();
    void RetentionEdited();
    void Choose();
    // Shows a history file chosen by the operator, or the live history again.
    void OpenFile();
    void ShowFile(const QString& path);
    // Which history is shown: the live one, a replay's or a chosen file.
    QString SourceText() const;
    QString ShownPath() const;

    HistorySource source_;
    UserDialogs& dialogs_;
    HistoryView view_;
    std::unique_ptr<HistoryDb> reader_;
    QComboBox* loop_;
    QComboBox* span_;
    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
    QSpinBox* days_;
    QLabel* status_;
    QPushButton* live_;
    TrendChartWidget* chart_;
    QTimer* resized_;
    bool asking_ = false;  // the question's box takes the focus: one question
    QString file_;         // the chosen history file; empty while the live one is shown
};

}  // namespace tuvik
