#pragma once
// The burner as the program knows it, whether a window shows it or not: its
// identification, the readings merged from every measurement reply, the
// usage counters, the 500 ms polling while the link is connected, the
// measurement file, the parameter set as last read, the histogram and the
// all-parameters grid. The session hands it the dispatcher's replies; a
// memory value or a parameter set goes first to the read that waits for it
// (the reads around a write) and only otherwise to what shows it. The
// burner windows show and edit this model.

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "burner/AllParamsModel.h"
#include "burner/BurnerDeviceRead.h"
#include "burner/BurnerIdentity.h"
#include "burner/BurnerMeasurements.h"
#include "burner/BurnerPolling.h"
#include "burner/Histogram.h"
#include "burner/MeasLog.h"
#include "burner/ParamSetEdits.h"
#include "burner/ParamTable.h"
#include "support/MessageLog.h"

namespace tuvik {

class DeviceAnswers;
class DeviceLink;

class BurnerModel : public QObject {
    Q_OBJECT
  public:
    using LinkSource = std::function<DeviceLink*()>;

    // dailyDir: the measurement file's and the backups' folder; log: the
    // message log whose lines carry the readings; link: the active link;
    // answers: where the write acknowledgements are announced.
    BurnerModel(const QString& dailyDir, MessageLog& log, LinkSource link,
                const DeviceAnswers* answers, QObject* parent = nullptr);

    DeviceLink* link() const { return link_(); }
    const DeviceAnswers* answers() const { return answers_; }
    const QString& dailyDir() const { return dailyDir_; }
    MessageLog& log() { return log_; }

    // The load (after every connect, or on the window's first show): the
    // parameter-set request and the polling from pollCount 15. Loading a
    // loaded model does nothing: a reconnect asks for the identification
    // when the link comes up.
    void Load();
    // The parameter-set request; overwrite: the reply replaces the boxes the
    // operator has edited ("Get values"). Why it did not go out, or empty.
    QString RequestParamSet(bool overwrite);
    void LinkConnectedChanged(bool connected);
    // A replay starts (the live state is kept aside and the measurement
    // file held; rows are stamped by deviceTime) or stops (it is put back).
    void ReplayingChanged(bool on);

    // Replies, as the dispatcher announces them.
    void Measurements(std::span<const uint8_t> d);
    void UsageCounters(const BurnerUsageTimes& u);
    void ParameterSet(std::span<const uint8_t> d);
    void MemoryValue(int32_t value, int32_t address, bool word);
    void HistogramPart(int32_t value, int32_t address);

    // The reads that wait for replies before the boxes do: the single
    // parameter's, the parameter set's and the grid's.
    void setValueRead(BurnerDeviceRead* read) { valueRead_ = read; }
    void setParamSetRead(BurnerDeviceRead* read) { paramSetRead_ = read; }
    void setGridRead(BurnerDeviceRead* read) { gridRead_ = read; }
    // While the all-parameters window is open, byte values reach the grid.
    void setGridOpen(bool open) { gridOpen_ = open; }

    const BurnerIdentity& identity() const { return identity_; }
    // An identification has arrived (and is not a replay's that was put back).
    bool identified() const { return identified_; }
    const BurnerMeasurements& readings() const { return readings_; }
    const BurnerUsageTimes& usage() const { return usage_; }

    // The 500 ms timer; tests and the screenshots shorten or stop it.
    QTimer& pollTimer() { return pollTimer_; }
    MeasLog& measLog() { return measLog_; }
    ParamSetEdits& edits() { return edits_; }
    Histogram& histogram() { return histogram_; }
    AllParamsModel& grid() { return grid_; }

  signals:
    void identityChanged();
    void readingsChanged();
    void usageChanged();
    // A parameter set no read waited for: the boxes take it (through edits()).
    void paramSetShown(std::span<const uint8_t> d);
    // A memory value no read waited for: the value box shows it.
    void valueShown(int32_t value);
    // A replay started or stopped: what the boxes show is kept or put back.
    void replayingChanged(bool on);

  private:
    void Poll();

    QString dailyDir_;
    MessageLog& log_;
    LinkSource link_;
    const DeviceAnswers* answers_;
    QTimer pollTimer_;
    BurnerPolling polling_;
    MeasLog measLog_;
    ParamSetEdits edits_;
    Histogram histogram_;
    AllParamsModel grid_;
    BurnerIdentity identity_;
    bool identified_ = false;
    // Every field as the last reply that held it left it.
    BurnerMeasurements readings_;
    BurnerUsageTimes usage_;
    bool linkConnected_ = false;
    bool loaded_ = false;
    bool gridOpen_ = false;
    QPointer<BurnerDeviceRead> valueRead_;
    QPointer<BurnerDeviceRead> paramSetRead_;
    QPointer<BurnerDeviceRead> gridRead_;
    // What a replay overwrites, as it was when the replay started.
    struct Live {
        BurnerIdentity identity;
        bool identified;
        BurnerMeasurements readings;
        LogReadings logReadings;  // the message log's reading columns
        BurnerUsageTimes usage;
        ParamSetEdits::LastRead lastRead;
    };
    std::optional<Live> live_;
};

// What the burner windows are given: the model, the parameter table from
// PARAMS.h, where that file is and why it is missing (empty while it is there).
struct BurnerScope {
    BurnerModel& model;
    const ParamTable& params;
    std::function<QString()> paramsHeaderPath;
    std::function<QString()> paramsHeaderMissing;
};

}  // namespace tuvik
