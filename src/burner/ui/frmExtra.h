#pragma once
// The histogram window ("Extras"): reads the burner's 122 histogram cells one
// word at a time and lists them as lines in the order the replies arrive.

#include <QWidget>

#include "burner/Histogram.h"
#include "shell/DispatchTargets.h"
#include "support/ui/StandardDialogsWidget.h"

class QGroupBox;
namespace tuvik {
class HistogramChartWidget;
}
class QPlainTextEdit;
class QPushButton;

namespace tuvik {

class Session;

class frmExtra : public QWidget, public HistogramTarget {
    Q_OBJECT
  public:
    // Registers with the session's dispatcher; the text box starts empty.
    // dialogs: nullptr for the real message boxes.
    explicit frmExtra(Session& session, UserDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~frmExtra() override;

    // HistogramTarget
    void addHistogramEntry(int32_t value, int32_t address) override;

    // btnReadHistogram: the 122 reads go out one spacing apart.
    void ReadHistogram();
    Histogram& histogram() { return histogram_; }

  private:
    void ShowText(const QString& text);

    Session& session_;
    UserDialogs& dialogs_;
    Histogram histogram_;

    QGroupBox* histogramBox_ = nullptr;
    QPlainTextEdit* txtHistoData = nullptr;
    HistogramChartWidget* chartHistogram = nullptr;
    QPushButton* btnReadHistogram = nullptr;
    QPushButton* btnClear = nullptr;
};

}  // namespace tuvik
