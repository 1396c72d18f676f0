#pragma once
// The selected loop's live values under the chart: its mode, controller
// output, measurement and y_fw, in two rows of two.

#include <QGroupBox>

class QLabel;

namespace tuvik {

class clsPID;

class LivePanel : public QGroupBox {
    Q_OBJECT
  public:
    explicit LivePanel(QWidget* parent);

    // Shows the loop's mode and live values; a value that has no text keeps
    // the one shown.
    void Show(const clsPID& loop);

  private:
    QLabel* LabelMode_ = nullptr;
    QLabel* LabelControl_ = nullptr;
    QLabel* LabelMeasurement_ = nullptr;
    QLabel* LabelY_FW_ = nullptr;
};

}  // namespace tuvik
