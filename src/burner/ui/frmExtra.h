#pragma once
// The histogram window ("Extras"): reads the burner's 122 histogram cells one
// word at a time and lists them as lines in the order the replies arrive.

#include <QWidget>

#include "burner/Histogram.h"
#include "support/ui/StandardDialogsWidget.h"

class QGroupBox;
namespace tuvik {
class HistogramChartWidget;
}
class QPlainTextEdit;
class QPushButton;

namespace tuvik {

class BurnerModel;

class frmExtra : public QWidget {
    Q_OBJECT
  public:
    // Shows the burner model's histogram. dialogs: nullptr for the real
    // message boxes.
    explicit frmExtra(BurnerModel& model, UserDialogs* dialogs = nullptr,
                      QWidget* parent = nullptr);

    // btnReadHistogram: the 122 reads go out one spacing apart.
    void ReadHistogram();
    Histogram& histogram() { return histogram_; }

  private:
    void ShowText(const QString& text);

    BurnerModel& model_;
    UserDialogs& dialogs_;
    Histogram& histogram_;

    QGroupBox* histogramBox_ = nullptr;
    QPlainTextEdit* txtHistoData = nullptr;
    HistogramChartWidget* chartHistogram = nullptr;
    QPushButton* btnReadHistogram = nullptr;
    QPushButton* btnClear = nullptr;
};

}  // namespace tuvik
