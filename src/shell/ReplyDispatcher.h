#pragma once
// Routes every complete reply from either link: live values and status
// records to the selected loop, burner measurements and counters to the
// burner window, memory reads to the parameter and histogram windows,
// actuator events to the message log, acknowledgements to the write counter
// and a few status lines to the main window. It keeps nothing of its own
// between replies. A reply too short for what a case reads does what its
// bytes allow and stops there; nothing is read past the data and nothing is
// thrown out of HandleReply: a window that fails on a reply is reported in
// the event log (once per reply kind) and the link goes on.

#include <QObject>
#include <QString>

#include <bitset>
#include <cstdint>
#include <functional>
#include <span>

#include "link/DeviceLink.h"
#include "pid/PidLoops.h"
#include "shell/DispatchState.h"
#include "shell/DispatchTargets.h"
#include "support/Clock.h"
#include "trend/TrendArray.h"

namespace tuvik {

class ReplyDispatcher final : public QObject, public ReplyReceiver {
    Q_OBJECT
  public:
    // Addresses of the histogram words in the burner's memory: [first, end).
    static constexpr int kHistogramFirst = 1696;
    static constexpr int kHistogramEnd = 1940;
    // Actuator numbers at or above this are not events we know.
    static constexpr int kActivityCount = 11;
    static constexpr double kAnalogCeiling = 30000.0;

    ReplyDispatcher(PidLoops& loops, DispatchState& state);

    void SetMainWindow(MainWindowTarget* t) { main_ = t; }
    void SetBurnerWindow(BurnerWindowTarget* t) { burner_ = t; }
    void SetAllParams(AllParamsTarget* t) { allParams_ = t; }
    void SetHistogram(HistogramTarget* t) { histogram_ = t; }
    void SetMessageLog(MessageLogTarget* t) { messages_ = t; }
    // The time of day in captions; the locale's time of now unless replaced.
    // The time of day captions carry is the clock's (a replay's recorded
    // time while one plays). Not owned; the system's clock until set.
    void setClock(const Clock& clock) { clock_ = &clock; }

    void HandleReply(uint8_t command, std::span<const uint8_t> data) override;

    PidLoops& loops() { return loops_; }
    DispatchState& state() { return state_; }
    // Loop status records the selected loop has taken so far: a read that saw
    // none did not happen.
    uint64_t statusRecords() const { return statusRecords_; }
    // The controller's alarm as last reported.
    bool alarm() const { return alarm_; }
    // The alarm as the live controller last reported it, shown again after
    // a replay showed a recorded one (not an alarm that came or went).
    void PutBackAlarm(bool on) {
        alarm_ = on;
        if (main_) {
            main_->SetAlarm(on);
        }
    }

  signals:
    // A live-value reply (0x92) has gone into the loop at this list index and
    // its trend: the live panel, the chart and the step test take it from
    // there. The quiet live-value reply (0x96) does not announce itself.
    void liveUpdated(int loop);
    // Either live-value reply (0x92 or 0x96) has gone into the loop at this
    // list index: the history keeps both.
    void liveSampled(int loop);
    // The controller acknowledged the selection of this loop (reply 0x80):
    // the live values that follow are that loop's.
    void loopSelected(int index);
    // The controller's alarm (0x94) came on or went off.
    void alarmChanged(bool on);

  private:
    void Dispatch(uint8_t command, std::span<const uint8_t> d);
    void LiveValues(std::span<const uint8_t> d, bool refresh);
    void StatusRecord(std::span<const uint8_t> d);
    void ByteRead(std::span<const uint8_t> d);
    void WordRead(std::span<const uint8_t> d);
    void AnalogInputs(std::span<const uint8_t> d);
    void ActuatorEvent(std::span<const uint8_t> d);
    void Caption(const QString& text);

    PidLoops& loops_;
    DispatchState& state_;
    MainWindowTarget* main_ = nullptr;
    BurnerWindowTarget* burner_ = nullptr;
    AllParamsTarget* allParams_ = nullptr;
    HistogramTarget* histogram_ = nullptr;
    MessageLogTarget* messages_ = nullptr;
    const Clock* clock_ = &Clock::System();
    uint64_t statusRecords_ = 0;
    bool alarm_ = false;
    // Reply kinds whose handling has failed once: the first failure of each
    // goes to the event log, repeats stay quiet.
    std::bitset<256> failedKinds_;
};

}  // namespace tuvik
