#pragma once
// What the PID settings editor shows and takes, without any widget: the
// eighteen parameter boxes and the controls around them, how they are filled
// from a loop, the key filter of the boxes, and the texts of the slider and
// live-value labels.

#include <QChar>
#include <QString>

#include <array>
#include <optional>

#include "pid/clsPID.h"

namespace tuvik {

// Index of each parameter box (TextAutoPID_i). Sending and the settings
// files use the same mapping.
namespace PidBox {
inline constexpr int Setpoint = 0;
inline constexpr int MaxContr = 1;
inline constexpr int MinContr = 2;
inline constexpr int K = 3;
inline constexpr int Ti = 4;
inline constexpr int Td = 5;
inline constexpr int tt = 6;
inline constexpr int N = 7;
inline constexpr int b = 8;
inline constexpr int ForwardK = 9;
inline constexpr int Tm = 10;
inline constexpr int h = 11;
inline constexpr int MeasurePort = 12;
inline constexpr int forwardPort = 13;
inline constexpr int RemoteSetpointPort = 14;
inline constexpr int MeasureScale = 15;
inline constexpr int ForwardScale = 16;
inline constexpr int SetpointScale = 17;
inline constexpr int kCount = 18;
}  // namespace PidBox

using PidBoxTexts = std::array<QString, PidBox::kCount>;

// Caption of the label beside each box, and its tool tip (empty: none).
QString PidBoxCaption(int box);
QString PidBoxToolTip(int box);

// The editor's state as the controls hold it.
struct PidEditorValues {
    PidBoxTexts boxes;       // as shown, "." as the decimal point
    bool automatic = true;   // OptionPIDmode_0 selected
    int enable = 0;          // chkEnable, 0 or 1
    int remoteSetpoint = 0;  // chkRemoteSetpoint, 0 or 1
    int manual = 0;          // SliderManual
};

inline constexpr int kManualSliderMax = 100;
inline constexpr int kSetpointSliderMax = 350;

// The editor filled from a loop. The slider positions are the loop's values
// rounded to whole numbers (halves to even); they may lie outside the
// sliders' ranges, which the window has to deal with.
struct LoopSettingsView {
    QString desc;
    bool automatic = false;
    PidBoxTexts boxes;
    double manualSlider = 0;
    double setpointSlider = 0;
    int enable = 0;
    int remoteSetpoint = 0;
};
LoopSettingsView MakeLoopSettingsView(const clsPID& loop);

// The box texts of a loop, in box order.
PidBoxTexts LoopBoxTexts(const clsPID& loop);

// Key filter of the parameter boxes: digits, ".", "-", backspace (8) and
// delete (127) pass; "," becomes "."; anything else is dropped (nothing).
std::optional<QChar> FilterEditorKey(QChar key);

// Caption beside a slider: the value, a blank and " %" ("50  %").
QString SliderValueText(int value);

// " Autom " or " Manual ".
QString ModeText(uint8_t autoMode);
// A live value's label: the value as its single text writes it, rounded to
// the given decimals (halves to even), in the locale's form, two blanks
// after. Nothing when the value is too large to round.
std::optional<QString> LiveValueText(float value, int decimals);

}  // namespace tuvik
