#include "burner/ui/frmExtra.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "burner/BurnerModel.h"
#include "burner/ui/HistogramChartWidget.h"
#include "link/DeviceLink.h"

namespace tuvik {

frmExtra::frmExtra(BurnerModel& model, UserDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      model_(model),
      dialogs_(dialogs ? *dialogs : DefaultDialogs()),
      histogram_(model.histogram()) {
    setObjectName(QStringLiteral("frmExtra"));
    setWindowTitle(QStringLiteral("Extras"));

    histogramBox_ = new QGroupBox(QStringLiteral("Histogram"), this);
    histogramBox_->setObjectName(QStringLiteral("Frame1"));
    txtHistoData = new QPlainTextEdit(histogramBox_);
    txtHistoData->setObjectName(QStringLiteral("txtHistoData"));
    txtHistoData->setReadOnly(true);
    txtHistoData->setLineWrapMode(QPlainTextEdit::NoWrap);
    btnReadHistogram = new QPushButton(QStringLiteral("Read Histogram"), histogramBox_);
    btnReadHistogram->setObjectName(QStringLiteral("btnReadHistogram"));
    btnClear = new QPushButton(QStringLiteral("Clear"), histogramBox_);
    btnClear->setObjectName(QStringLiteral("btnClear"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnReadHistogram);
    buttons->addWidget(btnClear);
    buttons->addStretch(1);
    chartHistogram = new HistogramChartWidget(histogram_.bars(), histogramBox_);
    auto* inner = new QVBoxLayout(histogramBox_);
    inner->addWidget(chartHistogram, 1);
    inner->addWidget(txtHistoData, 1);
    inner->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(histogramBox_);
    resize(520, 640);

    connect(btnReadHistogram, &QPushButton::clicked, this, &frmExtra::ReadHistogram);
    connect(btnClear, &QPushButton::clicked, &histogram_, &Histogram::Clear);
    connect(&histogram_, &Histogram::textChanged, this, &frmExtra::ShowText);
    connect(&histogram_, &Histogram::progress, this, [this](int sent, int total) {
        btnReadHistogram->setText(
            QStringLiteral("Read Histogram") +
            (sent < total ? QStringLiteral(" (%1/%2)").arg(sent).arg(total) : QString()));
    });
    connect(&histogram_, &Histogram::readFinished, this, [this](bool ok, const QString& message) {
        btnReadHistogram->setEnabled(true);
        btnReadHistogram->setText(QStringLiteral("Read Histogram"));
        if (!ok) {
            dialogs_.Message(windowTitle(), message, UserDialogs::Icon::Warning);
        }
    });
    ShowText(histogram_.text());
}

void frmExtra::ReadHistogram() {
    if (const std::optional<QString> why = histogram_.ReadHistogram(model_.link())) {
        dialogs_.Message(windowTitle(), *why, UserDialogs::Icon::Warning);
        return;
    }
    // Back on when the last request has gone out.
    btnReadHistogram->setEnabled(!histogram_.reading());
}

void frmExtra::ShowText(const QString& text) {
    // Lines are kept with CR LF; the text box wants bare line feeds.
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    txtHistoData->setPlainText(shown);
    chartHistogram->update();
}

}  // namespace tuvik
