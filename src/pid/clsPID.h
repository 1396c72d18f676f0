#pragma once
// One PID control loop of the controller as this program sees it: its
// identification, its parameter set, its live values as last reported, a copy
// of its raw 88-byte status record and a trend table of recent live values.
//
// Properties follow the controller's three kinds:
//   flags typed as a byte   reader gives 1 or 0; writer takes any non-zero byte as set
//   ports (bytes)           stored and returned unchanged
//   numbers as text         reader gives the single's shortest text with "." as the
//                           decimal point; writer takes such a text
// Each property is a reader/writer overload pair named after the member.
//
// Text writers and errors: Measurement, ControllerOut and y_fw ignore a text
// that is not a number (the value keeps its old value). Every other text
// writer returns a ConversionResult, which must be looked at: on failure the
// member is unchanged and description() names the problem ("Type mismatch"
// for a text that is not a number, "Overflow" for one too large for a single).

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "link/DeviceLink.h"
#include "trend/TrendArray.h"

namespace tuvik {

class [[nodiscard]] ConversionResult {
  public:
    static ConversionResult Ok() { return ConversionResult(); }
    static ConversionResult Failed(const QString& description) {
        ConversionResult r;
        r.ok_ = false;
        r.description_ = description;
        return r;
    }
    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const QString& description() const { return description_; }

  private:
    bool ok_ = true;
    QString description_;
};

// The loop's settings as the parameter block carries them.
struct PidSettings {
    bool AutoMode = false;
    bool AutoSetPoint = false;
    bool InvertedMode = false;
    bool Enable = false;
    bool RemoteSetpoint = false;
    uint8_t MeasurePort = 0;
    uint8_t forwardPort = 0;
    uint8_t RemoteSetpointPort = 0;
    float MeasureScale = 0;
    float ForwardScale = 0;
    float SetpointScale = 0;
    float ManualVal = 0;
    float Setpoint = 0;
    float K = 0;
    float Ti = 0;
    float Td = 0;
    float ForwardK = 0;
    float tt = 0;
    float N = 0;
    float b = 0;
    float MinContr = 0;
    float MaxContr = 0;
    float Tm = 0;
    float h = 0;

    bool operator==(const PidSettings&) const = default;
};

// The live values the controller reports.
struct PidLiveValues {
    float y_fw = 0;
    float Measurement = 0;
    float ControllerOut = 0;
    float P = 0;
    float I = 0;
    float D = 0;
    float Feed_fw = 0;
    float PIDControllerOut = 0;

    bool operator==(const PidLiveValues&) const = default;
};

class clsPID {
  public:
    // The four values of a live-values reply.
    enum class LiveField { ControllerOut, Measurement, Setpoint, y_fw };
    // The order of the four singles in a live-value reply (0x92, 0x96).
    static constexpr std::array<LiveField, 4> kLiveReplyOrder = {
        LiveField::ControllerOut, LiveField::Measurement, LiveField::Setpoint, LiveField::y_fw};
    static constexpr int kStatusSize = 88;
    using StatusRecord = std::array<uint8_t, kStatusSize>;
    static constexpr int kTrendSeries = 5;
    // Item value of getTrendData that stands for the controller output series.
    static constexpr int16_t kDefaultTrendItem = 99;
    // Trend samples above this are stored as this.
    static constexpr double kTrendCeiling = 30000.0;

    clsPID();

    void Alusta(int16_t name_ID, const QString& Desc, int16_t Offset, DeviceLink* ADSConnection);
    QString GetName() const { return name_; }
    QString GetDesc() const { return desc_; }
    const QString& name() const { return name_; }
    void name(const QString& v) { name_ = v; }

    uint8_t Enable() const { return s_.Enable ? 1 : 0; }
    void Enable(uint8_t v) { s_.Enable = v != 0; }
    uint8_t RemoteSetpoint() const { return s_.RemoteSetpoint ? 1 : 0; }
    void RemoteSetpoint(uint8_t v) { s_.RemoteSetpoint = v != 0; }
    uint8_t RemoteSetpointPort() const { return s_.RemoteSetpointPort; }
    void RemoteSetpointPort(uint8_t v) { s_.RemoteSetpointPort = v; }
    uint8_t forwardPort() const { return s_.forwardPort; }
    void forwardPort(uint8_t v) { s_.forwardPort = v; }
    uint8_t MeasurePort() const { return s_.MeasurePort; }
    void MeasurePort(uint8_t v) { s_.MeasurePort = v; }
    uint8_t AutoMode() const { return s_.AutoMode ? 1 : 0; }
    void AutoMode(uint8_t v) { s_.AutoMode = v != 0; }
    uint8_t AutoSetPoint() const { return s_.AutoSetPoint ? 1 : 0; }
    // Also writes the loop's mode byte to the controller: StatusBytes[0] with
    // bit 0x08 set or cleared. Without a link only the flag changes.
    void AutoSetPoint(uint8_t v);

    QString Setpoint() const { return Text(s_.Setpoint); }
    ConversionResult Setpoint(const QString& text) { return SetFromText(s_.Setpoint, text); }
    QString Measurement() const { return Text(live_.Measurement); }
    void Measurement(const QString& text) { SetQuietly(live_.Measurement, text); }
    QString MaxContr() const { return Text(s_.MaxContr); }
    ConversionResult MaxContr(const QString& text) { return SetFromText(s_.MaxContr, text); }
    QString MinContr() const { return Text(s_.MinContr); }
    ConversionResult MinContr(const QString& text) { return SetFromText(s_.MinContr, text); }
    QString ControllerOut() const { return Text(live_.ControllerOut); }
    void ControllerOut(const QString& text) { SetQuietly(live_.ControllerOut, text); }
    QString K() const { return Text(s_.K); }
    ConversionResult K(const QString& text) { return SetFromText(s_.K, text); }
    QString Ti() const { return Text(s_.Ti); }
    ConversionResult Ti(const QString& text) { return SetFromText(s_.Ti, text); }
    QString Td() const { return Text(s_.Td); }
    ConversionResult Td(const QString& text) { return SetFromText(s_.Td, text); }
    QString tt() const { return Text(s_.tt); }
    ConversionResult tt(const QString& text) { return SetFromText(s_.tt, text); }
    QString N() const { return Text(s_.N); }
    ConversionResult N(const QString& text) { return SetFromText(s_.N, text); }
    QString b() const { return Text(s_.b); }
    ConversionResult b(const QString& text) { return SetFromText(s_.b, text); }
    QString ForwardK() const { return Text(s_.ForwardK); }
    ConversionResult ForwardK(const QString& text) { return SetFromText(s_.ForwardK, text); }
    QString ManualVal() const { return Text(s_.ManualVal); }
    ConversionResult ManualVal(const QString& text) { return SetFromText(s_.ManualVal, text); }
    QString Tm() const { return Text(s_.Tm); }
    ConversionResult Tm(const QString& text) { return SetFromText(s_.Tm, text); }
    QString h() const { return Text(s_.h); }
    ConversionResult h(const QString& text) { return SetFromText(s_.h, text); }
    QString y_fw() const { return Text(live_.y_fw); }
    void y_fw(const QString& text) { SetQuietly(live_.y_fw, text); }
    QString MeasureScale() const { return Text(s_.MeasureScale); }
    ConversionResult MeasureScale(const QString& text) {
        return SetFromText(s_.MeasureScale, text);
    }
    QString ForwardScale() const { return Text(s_.ForwardScale); }
    ConversionResult ForwardScale(const QString& text) {
        return SetFromText(s_.ForwardScale, text);
    }
    QString SetpointScale() const { return Text(s_.SetpointScale); }
    ConversionResult SetpointScale(const QString& text) {
        return SetFromText(s_.SetpointScale, text);
    }

    // Takes a status record: copies its 88 bytes, decodes them and takes a
    // trend sample. A shorter record is refused with an event-log entry and
    // leaves the loop as it was; returns whether the record was taken.
    bool SetStatusData(std::span<const uint8_t> inbdata);

    // Takes a single as the device sent it, held as its SingleText would be
    // read back by the field's text writer (the text itself is not built: this
    // runs for every live reply). Returns false where that writer would
    // report a conversion error.
    bool WriteLiveSingle(LiveField field, float v);

    // The loop summary the main window shows in a message box, lines joined by CR LF.
    QString info() const;

    static QString DecimToDot(const QString& sin);

    // The trend table itself, for the chart (no copy).
    const TrendArray& getTrendData() const { return trend_; }
    // withLimits: arr becomes a copy of the whole table. Otherwise every point
    // of series Item (series 1 for kDefaultTrendItem) goes to arr(indx, point);
    // an Item or indx that does not exist stops with an event-log entry.
    // Returns false when it stopped.
    bool getTrendData(TrendArray& arr, bool withLimits, int16_t indx,
                      int16_t Item = kDefaultTrendItem) const;

    // Appends one sample of Measurement, ControllerOut, Setpoint and y_fw to
    // the trend, each rounded to 0.01 and held at kTrendCeiling; a value that
    // cannot be rounded repeats its series' previous newest sample. The
    // sample is stamped with the trend clock (TrendNow).
    void AddTrendSample();
    // The trend without samples (its series' names stay).
    void ClearTrend() { trend_.ClearSamples(); }

    bool InvertedMode() const { return s_.InvertedMode; }
    void InvertedMode(bool v) { s_.InvertedMode = v; }

    const PidSettings& Settings() const { return s_; }
    void SetSettings(const PidSettings& s) { s_ = s; }
    const PidLiveValues& LiveValues() const { return live_; }

    int16_t name_ID() const { return nameId_; }
    int16_t Offset() const { return offset_; }
    DeviceLink* link() const { return link_.data(); }
    const StatusRecord& StatusBytes() const { return status_; }

  private:
    static QString Text(float v);
    static ConversionResult SetFromText(float& member, const QString& text);
    static void SetQuietly(float& member, const QString& text);
    void DecodeStatus();

    QString name_ = QStringLiteral("initPID");
    QString desc_ = QStringLiteral("initDesc");
    int16_t nameId_ = 0;
    int16_t offset_ = 0;
    QPointer<DeviceLink> link_;
    PidSettings s_;
    PidLiveValues live_;
    struct LiveInput {
        bool known = false;
        uint32_t bits = 0;
        std::optional<float> shown;
    };
    std::array<LiveInput, 4> lastLive_{};  // by LiveField
    StatusRecord status_{};
    TrendArray trend_{kTrendSeries};
};

}  // namespace tuvik
