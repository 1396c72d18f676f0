#include "pid/PidEditorModel.h"

#include <cmath>

#include "support/Numbers.h"

namespace tuvik {

namespace {

struct BoxInfo {
    const char* caption;
    const char* toolTip;
};

constexpr std::array<BoxInfo, PidBox::kCount> kBoxInfo = {{
    {"Setpoint value", "Setpoint"},
    {"Max controller out (%)", ""},
    {"Min controller out (%)", ""},
    {"K", "PID gain"},
    {"Ti", "PID integration time"},
    {"Td", "PID derivative time"},
    {"Tt", ""},
    {"N", ""},
    {"b", ""},
    {"forward connection K", ""},
    {"Tm", ""},
    {"PID cycle h", ""},
    {"Measure port", ""},
    {"Forward port", ""},
    {"Setpoint port", ""},
    {"Measure scale", ""},
    {"Forward scale", ""},
    {"Setpoint scale", ""},
}};

}  // namespace

QString PidBoxCaption(int box) {
    if (box < 0 || box >= PidBox::kCount) {
        return {};
    }
    return QString::fromLatin1(kBoxInfo[static_cast<size_t>(box)].caption);
}

QString PidBoxToolTip(int box) {
    if (box < 0 || box >= PidBox::kCount) {
        return {};
    }
    return QString::fromLatin1(kBoxInfo[static_cast<size_t>(box)].toolTip);
}

PidBoxTexts LoopBoxTexts(const clsPID& L) {
    return {L.Setpoint(),
            L.MaxContr(),
            L.MinContr(),
            L.K(),
            L.Ti(),
            L.Td(),
            L.tt(),
            L.N(),
            L.b(),
            L.ForwardK(),
            L.Tm(),
            L.h(),
            QString::number(L.MeasurePort()),
            QString::number(L.forwardPort()),
            QString::number(L.RemoteSetpointPort()),
            L.MeasureScale(),
            L.ForwardScale(),
            L.SetpointScale()};
}

LoopSettingsView MakeLoopSettingsView(const clsPID& L) {
    LoopSettingsView v;
    v.desc = L.GetDesc();
    v.automatic = L.AutoMode() == 1;
    v.boxes = LoopBoxTexts(L);
    v.manualSlider = RoundHalfEven(TextToNumber(L.ManualVal()));
    v.setpointSlider = RoundHalfEven(TextToNumber(L.Setpoint()));
    v.enable = L.Enable();
    v.remoteSetpoint = L.RemoteSetpoint();
    return v;
}

std::optional<QChar> FilterEditorKey(QChar key) {
    const char16_t c = key.unicode();
    if ((c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == 8 || c == 127) {
        return key;
    }
    if (c == u',') {
        return QChar(u'.');
    }
    return std::nullopt;
}

QString SliderValueText(int value) {
    return QString::number(value) + QStringLiteral(" ") + QStringLiteral(" %");
}

QString ModeText(uint8_t autoMode) {
    return autoMode != 0 ? QStringLiteral(" Autom ") : QStringLiteral(" Manual ");
}

std::optional<QString> LiveValueText(float value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    // NaN and infinities have no number text: read as a text they are 0.
    const auto scaled = RoundToInt32(SingleTextValue(value).value_or(0.0) * scale);
    if (!scaled) {
        return std::nullopt;
    }
    return DoubleText(static_cast<double>(*scaled) / scale) + QStringLiteral("  ");
}

}  // namespace tuvik
