#include "burner/ui/MeasurementsPanel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "burner/ui/frmLocalise.h"
#include "support/ui/Controls.h"

namespace tuvik {

namespace {

// The caption beside each reading, in the order they stand.
struct ReadingRow {
    const char* caption;
    const char* captionText;
    const char* value;
    BurnerReading reading;
};
constexpr ReadingRow kReadingRows[] = {
    {"Label2", "Tgas", "lblTgas", BurnerReading::Tgas},
    {"Label6", "O2", "lblLambda", BurnerReading::Lambda},
    {"Label12", "Theater", "lblTempKTYPE1", BurnerReading::Heater},
    {"Label3", "Twater", "lblTwater", BurnerReading::Twater},
    {"Label5", "VFD", "lblVFD", BurnerReading::Vfd},
    {"Label8", "Tdevice", "lblBAfan", BurnerReading::Tdevice},
    {"Label7", "IR Sig", "lblIRsig", BurnerReading::IrSignal},
};
const char* const kLedCaptions[MeasurementsPanel::kLedCount] = {"Arina",
                                                                "Polttoaineruuvi",
                                                                "Kipinä",
                                                                "Sytytysvastus",
                                                                "Ilmapuhallus",
                                                                "-",
                                                                "-",
                                                                "-",
                                                                "State LED",
                                                                "Error LED",
                                                                "-",
                                                                "-"};
const char* const kUsageCaptions[MeasurementsPanel::kUsageCount] = {
    "Power on Time", "Startup Time", "Run Time", "Idle Time", "OFF Time"};

QLabel* ValueLabel(QWidget* parent, const QString& name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(90);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLabel* Caption(const QString& name, const QString& text) {
    return Named(new QLabel(text), name);
}

}  // namespace

MeasurementsPanel::MeasurementsPanel(QWidget* parent)
    : QGroupBox(parent), leds_(LoadLedPictures()) {
    auto* v = new QVBoxLayout(this);

    auto* meas = new QGridLayout;
    int row = 0;
    for (const ReadingRow& r : kReadingRows) {
        meas->addWidget(Caption(QString::fromLatin1(r.caption), QString::fromLatin1(r.captionText)),
                        row, 0);
        QLabel* value = ValueLabel(this, QString::fromLatin1(r.value));
        readings_[static_cast<size_t>(r.reading)] = value;
        meas->addWidget(value, row++, 1);
    }
    const std::pair<const char*, BurnerReading> states[] = {
        {"lblProgState", BurnerReading::ProgState}, {"lblDevState", BurnerReading::DevState}};
    for (const auto& [name, reading] : states) {
        QLabel* value = ValueLabel(this, QString::fromLatin1(name));
        value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        readings_[static_cast<size_t>(reading)] = value;
        meas->addWidget(value, row++, 0, 1, 2);
    }
    v->addLayout(meas);

    // Actuator LEDs in two columns of six.
    auto* ledGrid = new QGridLayout;
    for (int i = 0; i < kLedCount; ++i) {
        imgDev_[i] = Named(new LedWidget, Indexed("imgDev", i));
        imgDev_[i]->setPicture(leds_.LedGrey);
        QLabel* caption = Caption(Indexed("Label9", i), QString::fromUtf8(kLedCaptions[i]));
        if (i < 5) {
            SetTag(caption, QString::number(10101 + i));
        }
        const int col = (i / 6) * 2;
        ledGrid->addWidget(imgDev_[i], i % 6, col);
        ledGrid->addWidget(caption, i % 6, col + 1);
    }
    ledGrid->setColumnStretch(1, 1);
    ledGrid->setColumnStretch(3, 1);
    v->addLayout(ledGrid);

    auto* usage = new QGridLayout;
    for (int i = 0; i < kUsageCount; ++i) {
        lblUsageTime_[i] = ValueLabel(this, Indexed("lblUsageTime", i));
        usage->addWidget(Caption(Indexed("Label10", i), QString::fromLatin1(kUsageCaptions[i])), i,
                         0);
        usage->addWidget(lblUsageTime_[i], i, 1);
    }
    v->addLayout(usage);

    auto* save =
        Named(new QCheckBox(QStringLiteral("Tallenna mittaukset tiedostoon")), "CheckSaveMeas");
    SetTag(save, QStringLiteral("10150"));
    v->addWidget(save);
    connect(save, &QCheckBox::toggled, this, &MeasurementsPanel::savingToggled);

    // Neither command waits for or shows an answer.
    const struct {
        const char* name;
        const char* text;
        void (MeasurementsPanel::*clicked)();
    } buttons[] = {{"btnCalLambda", "Calibrate Lambda", &MeasurementsPanel::calibrateLambdaClicked},
                   {"Command1", "InitParams", &MeasurementsPanel::initParamsClicked},
                   {"cmdAllParams", "All Params", &MeasurementsPanel::allParamsClicked},
                   {"btnExtras", "Extras", &MeasurementsPanel::extrasClicked}};
    auto* grid = new QGridLayout;
    for (int i = 0; i < 4; ++i) {
        auto* b = Named(new QPushButton(QString::fromLatin1(buttons[i].text)), buttons[i].name);
        grid->addWidget(b, i / 2, i % 2);
        connect(b, &QPushButton::clicked, this, buttons[i].clicked);
    }
    v->addLayout(grid);
    v->addStretch(1);
}

void MeasurementsPanel::ShowReadings(const BurnerMeasurements& readings) {
    for (int i = 0; i < kBurnerReadings; ++i) {
        readings_[static_cast<size_t>(i)]->setText(
            ReadingText(readings, static_cast<BurnerReading>(i)));
    }
    // Readings without a device state (put back from before any) show none lit.
    const auto leds = readings.Leds().value_or(std::array<LedState, BurnerMeasurements::kLeds>{});
    for (int i = 0; i < BurnerMeasurements::kLeds; ++i) {
        const LedState s = leds[static_cast<size_t>(i)];
        imgDev_[i]->setPicture(s == LedState::Green ? leds_.LedGreen
                               : s == LedState::Red ? leds_.LedRed
                                                    : leds_.LedGrey);
    }
}

void MeasurementsPanel::ShowUsageTimes(const BurnerUsageTimes& u) {
    for (int i = 0; i < kUsageCount; ++i) {
        const auto& minutes = u.minutes[static_cast<size_t>(i)];
        lblUsageTime_[i]->setText(minutes ? UsageTimeCaption(*minutes) : QString());
        lblUsageTime_[i]->setToolTip(minutes ? UsageTimeTooltip(*minutes) : QString());
    }
}

}  // namespace tuvik
