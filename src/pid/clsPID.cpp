#include "pid/clsPID.h"

#include <QStringList>

#include <bit>
#include <cmath>
#include <optional>

#include "link/Packet.h"
#include "pid/DecimalText.h"
#include "support/EventLog.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {

constexpr uint8_t kAutoModeBit = 0x02;
constexpr uint8_t kAutoSetPointBit = 0x08;
constexpr uint8_t kInvertedBit = 0x01;

// Takes a text in the "." form as a single.
std::optional<float> ParseDotText(const QString& text, QString* whyNot) {
    const QString local = ToDecimalSeparator(text);
    if (const auto v = LocaleTextToSingle(local)) {
        return v;
    }
    if (whyNot) {
        QString plain = local.trimmed();
        plain.replace(DecimalSeparator(), QLatin1Char('.'));
        bool ok = false;
        const double d = plain.toDouble(&ok);
        *whyNot =
            ok && std::isfinite(d) ? QStringLiteral("Overflow") : QStringLiteral("Type mismatch");
    }
    return std::nullopt;
}

QString FlagText(bool v) {
    return v ? QStringLiteral("True") : QStringLiteral("False");
}

}  // namespace

clsPID::clsPID() {
    static const char* const kNames[] = {"Measurement", "Control output", "Setpoint",
                                         "FeedForward"};
    for (int s = 0; s < 4; ++s) {
        trend_.set(s, 0, TrendCell(QString::fromLatin1(kNames[s])));
        trend_.set(s, 1, TrendCell(QString(QLatin1String(""))));
    }
}

void clsPID::Alusta(int16_t name_ID, const QString& Desc, int16_t Offset,
                    DeviceLink* ADSConnection) {
    nameId_ = name_ID;
    name_ = QStringLiteral("PID 1");
    desc_ = Desc;
    offset_ = Offset;
    link_ = ADSConnection;
}

void clsPID::AutoSetPoint(uint8_t v) {
    s_.AutoSetPoint = v != 0;
    if (!link_) {
        return;
    }
    uint8_t mode = status_[0];
    if (v != 0) {
        mode |= kAutoSetPointBit;
    } else {
        mode &= static_cast<uint8_t>(~kAutoSetPointBit);
    }
    const std::array<uint8_t, 2> bytes{mode, 0};
    link_->WriteMemory(offset_, std::span(bytes).first(1));
}

QString clsPID::Text(float v) {
    return DecimToDot(SingleText(v));
}

ConversionResult clsPID::SetFromText(float& member, const QString& text) {
    QString why;
    const auto v = ParseDotText(text, &why);
    if (!v) {
        return ConversionResult::Failed(why);
    }
    member = *v;
    return ConversionResult::Ok();
}

void clsPID::SetQuietly(float& member, const QString& text) {
    if (const auto v = ParseDotText(text, nullptr)) {
        member = *v;
    }
}

bool clsPID::WriteLiveSingle(LiveField field, float v) {
    // Most replies repeat most fields: the last input of each field and its
    // normalised value are kept.
    LiveInput& last = lastLive_[static_cast<size_t>(field)];
    const auto bits = std::bit_cast<uint32_t>(v);
    if (!last.known || last.bits != bits) {
        last = {true, bits, SingleTextSingle(v)};
    }
    const std::optional<float>& shown = last.shown;
    float* member = nullptr;
    switch (field) {
        case LiveField::ControllerOut:
            member = &live_.ControllerOut;
            break;
        case LiveField::Measurement:
            member = &live_.Measurement;
            break;
        case LiveField::Setpoint:
            member = &s_.Setpoint;
            break;
        case LiveField::y_fw:
            member = &live_.y_fw;
            break;
    }
    if (!shown) {
        return field != LiveField::Setpoint;  // the only one of the four that reports
    }
    *member = static_cast<float>(*shown);
    return true;
}

QString clsPID::DecimToDot(const QString& sin) {
    return ToDot(sin);
}

bool clsPID::SetStatusData(std::span<const uint8_t> inbdata) {
    if (inbdata.size() < static_cast<size_t>(kStatusSize)) {
        CurrentEventLog().Warning(
            QStringLiteral("PIDstatus error: %1 status record of %2 bytes, %3 expected")
                .arg(name_)
                .arg(inbdata.size())
                .arg(kStatusSize));
        return false;
    }
    std::copy_n(inbdata.begin(), kStatusSize, status_.begin());
    DecodeStatus();
    AddTrendSample();
    return true;
}

void clsPID::DecodeStatus() {
    const uint8_t* s = status_.data();
    s_.AutoMode = (s[0] & kAutoModeBit) != 0;
    s_.AutoSetPoint = (s[0] & kAutoSetPointBit) != 0;
    s_.Enable = s[1] != 0;
    s_.MeasurePort = s[2];
    s_.forwardPort = s[3];
    s_.InvertedMode = (s[4] & kInvertedBit) != 0;
    s_.RemoteSetpoint = s[5] != 0;
    s_.RemoteSetpointPort = s[6];

    struct Field {
        int offset;
        float* target;
        const char* label;
    };
    const Field fields[] = {
        {8, &s_.ManualVal, "ManualVal"},
        {12, &s_.Setpoint, "Setpoint"},
        {16, &s_.K, "K"},
        {20, &s_.Ti, "Ti"},
        {24, &s_.Td, "Td"},
        {28, &s_.ForwardK, "ForwardK"},
        {32, &s_.tt, "tt"},
        {36, &s_.N, "N"},
        {40, &s_.b, "b"},
        {44, &s_.MinContr, "MinContr"},
        {48, &s_.MaxContr, "MaxContr"},
        {52, &s_.Tm, "Tm"},
        {56, &live_.y_fw, "y_fw"},
        {60, &live_.Measurement, "Measurement"},
        {64, &s_.h, "h"},
        {68, &live_.P, "P"},
        {72, &live_.I, "I"},
        {76, &live_.D, "D"},
        {80, &live_.Feed_fw, "Feed_fw"},
        {84, &live_.PIDControllerOut, "PIDControllerOut"},
    };
    for (const Field& f : fields) {
        const float v = GetSingle(status_, static_cast<size_t>(f.offset));
        // A NaN or infinite single is not a value the loop can hold: stop here
        // so that the fields after it keep what they had.
        if (!std::isfinite(v)) {
            WriteEventLog(QStringLiteral("PIDstatus error: %1 invalid number at offset %2 (%3)")
                              .arg(name_)
                              .arg(f.offset)
                              .arg(QLatin1String(f.label)));
            return;
        }
        *f.target = v;
    }
    live_.ControllerOut = live_.PIDControllerOut;
    s_.MeasureScale = 1.0f;
    s_.SetpointScale = 1.0f;
    s_.ForwardScale = 1.0f;
}

void clsPID::AddTrendSample() {
    const float values[4] = {live_.Measurement, live_.ControllerOut, s_.Setpoint, live_.y_fw};
    for (int s = 0; s < 4; ++s) {
        trend_.PushValue(s, values[s], kTrendCeiling, false);
    }
    // Samples come one per reply, at whatever rate the link runs: the chart
    // tells time from these stamps, not from the count.
    trend_.PushTime(TrendNow());
}

bool clsPID::getTrendData(TrendArray& arr, bool withLimits, int16_t indx, int16_t Item) const {
    if (withLimits) {
        arr = trend_;
        return true;
    }
    const int series = Item == kDefaultTrendItem ? 1 : Item;
    if (series < 0 || series >= kTrendSeries || !arr.inRange(indx, 0)) {
        WriteEventLog(QStringLiteral("error getTrendData:Subscript out of range"));
        return false;
    }
    for (int i = 0; i <= TrendArray::kLastPoint; ++i) {
        arr.set(indx, i, trend_.at(series, i));
    }
    return true;
}

QString clsPID::info() const {
    const auto num = [](float v) { return SingleText(v); };
    const QStringList lines = {
        QStringLiteral("sName : ") + name_,
        QString(),
        QStringLiteral("sDesc: ") + desc_,
        QStringLiteral("InvertedMode: ") + FlagText(s_.InvertedMode),
        QStringLiteral("AutomMode: ") + FlagText(s_.AutoMode),
        QStringLiteral("AutoSetPoint: ") + FlagText(s_.AutoSetPoint),
        QStringLiteral("Setpoint: ") + num(s_.Setpoint),
        QStringLiteral("Measurement: ") + num(live_.Measurement),
        QStringLiteral("MaxContr: ") + num(s_.MaxContr),
        QStringLiteral("MinContr: ") + num(s_.MinContr),
        QStringLiteral("ControllerOut: ") + num(live_.ControllerOut),
        QStringLiteral("PIDControllerOut: ") + num(live_.PIDControllerOut),
        QStringLiteral("K: ") + num(s_.K),
        QStringLiteral("Ti: ") + num(s_.Ti),
        QStringLiteral("Td: ") + num(s_.Td),
        QStringLiteral("Tt: ") + num(s_.tt),
        QStringLiteral("N: ") + num(s_.N),
        QStringLiteral("b: ") + num(s_.b),
        QStringLiteral("y_fw: ") + num(live_.y_fw),
        QStringLiteral("Feed_fw: ") + num(live_.Feed_fw),
        QStringLiteral("ForwardK: ") + num(s_.ForwardK),
        QStringLiteral("ManualVal: ") + num(s_.ManualVal),
        QStringLiteral("Tm: ") + num(s_.Tm),
        QString(),
        QStringLiteral("P: ") + num(live_.P),
        QStringLiteral("I: ") + num(live_.I),
        QStringLiteral("D: ") + num(live_.D),
        QStringLiteral("H: ") + num(s_.h),
    };
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace tuvik
