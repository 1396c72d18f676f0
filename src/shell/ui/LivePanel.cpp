#include "shell/ui/LivePanel.h"

#include <QGridLayout>
#include <QLabel>

#include <algorithm>

#include "pid/PidEditorModel.h"
#include "pid/clsPID.h"
#include "support/ui/Controls.h"

namespace tuvik {

LivePanel::LivePanel(QWidget* parent) : QGroupBox(QStringLiteral("PID status"), parent) {
    setObjectName(QStringLiteral("FramePIDStatus"));
    // The values change with every reply. A label of fixed size that paints
    // its own background changes neither the layout nor the group box around
    // it, so only the label itself is repainted.
    auto value = [this](const char* name) {
        auto* l = Named(new QLabel(this), name);
        l->setFrameShape(QFrame::StyledPanel);
        l->setAutoFillBackground(true);
        const int width = l->fontMetrics().horizontalAdvance(QStringLiteral("-00000.000 ")) +
                          2 * l->frameWidth() + 2 * l->margin() + 6;
        l->setFixedSize(std::max(70, width), l->sizeHint().height());
        return l;
    };
    LabelMode_ = value("LabelMode");
    LabelControl_ = value("LabelControl");
    LabelMeasurement_ = value("LabelMeasurement");
    LabelY_FW_ = value("LabelY_FW");
    auto* grid = new QGridLayout(this);
    const struct {
        const char* name;
        const char* caption;
        QLabel* label;
    } items[] = {{"lblModeCaption", "Current mode:", LabelMode_},
                 {"lblControlCaption", "Control signal", LabelControl_},
                 {"lblMeasurementCaption", "Measurement", LabelMeasurement_},
                 {"lblY_FWCaption", "Y_fw", LabelY_FW_}};
    // Two rows of two, so that a narrow window still shows them all.
    for (int i = 0; i < 4; ++i) {
        const auto& item = items[i];
        const int row = i / 2;
        const int col = (i % 2) * 2;
        grid->addWidget(Named(new QLabel(QString::fromLatin1(item.caption), this), item.name), row,
                        col);
        grid->addWidget(item.label, row, col + 1);
    }
    grid->setColumnStretch(4, 1);
}

void LivePanel::Show(const clsPID& loop) {
    LabelMode_->setText(ModeText(loop.AutoMode()));
    if (const auto t = LiveValueText(loop.LiveValues().ControllerOut, 2)) {
        LabelControl_->setText(*t);
    }
    if (const auto t = LiveValueText(loop.LiveValues().Measurement, 3)) {
        LabelMeasurement_->setText(*t);
    }
    if (const auto t = LiveValueText(loop.LiveValues().y_fw, 3)) {
        LabelY_FW_->setText(*t);
    }
}

}  // namespace tuvik
