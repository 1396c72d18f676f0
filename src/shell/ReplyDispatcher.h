#pragma once
// Routes every complete reply from either link and announces what arrived:
// live values and status records go into the selected loop; everything else
// is announced with its decoded values for the parts that keep it (the analog
// trends, the burner model, the message log, the acknowledged write
// sequence, the main window). It calls no window and
// keeps nothing of its own between replies but the alarm. A reply too short
// for what a case reads does what its bytes allow and stops there; nothing
// is read past the data and nothing is thrown out of HandleReply: a listener
// that fails on a reply is reported in the event log (once per reply kind)
// and the link goes on.

#include <QString>

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <span>

#include "burner/BurnerMeasurements.h"
#include "link/DeviceAnswers.h"
#include "link/DeviceLink.h"
#include "link/ReplyLayouts.h"
#include "pid/PidLoops.h"
#include "support/Clock.h"

namespace tuvik {

class ReplyDispatcher final : public DeviceAnswers, public ReplyReceiver {
    Q_OBJECT
  public:
    // Addresses of the histogram words in the burner's memory: [first, end).
    static constexpr int kHistogramFirst = 1696;
    static constexpr int kHistogramEnd = 1940;

    explicit ReplyDispatcher(PidLoops& loops);

    // The time of day in captions; the locale's time of now unless replaced.
    // The time of day captions carry is the clock's (a replay's recorded
    // time while one plays). Not owned; the system's clock until set.
    void setClock(const Clock& clock) { clock_ = &clock; }

    void HandleReply(uint8_t command, std::span<const uint8_t> data) override;

    // The controller's alarm as last reported.
    bool alarm() const { return alarm_; }
    // The alarm as the live controller last reported it, shown again after
    // a replay showed a recorded one (not an alarm that came or went).
    void PutBackAlarm(bool on) {
        alarm_ = on;
        emit alarmShown(on);
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
    // The alarm as the main window shows it: every report (0x94), and the
    // live one put back after a replay.
    void alarmShown(bool on);
    // A line for the main window's title bar (a status record).
    void captionLine(const QString& text);
    // The analog inputs' reply (0x89) with all eight inputs, as read.
    void analogSamples(const std::array<uint16_t, tuvik::kAnalogInputs>& inputs);
    // The device reported its start (0xAA), with the code it gave.
    void deviceStarted(int code);
    // The burner's measurement reply (0x97), whose layout its identification decides.
    void burnerMeasurements(std::span<const uint8_t> data);
    // The usage counters (0x5C) the reply held.
    void usageCounters(const tuvik::BurnerUsageTimes& usage);
    // The parameter-set reply (0x84): the identification, then the parameter block.
    void parameterSet(std::span<const uint8_t> data);
    // A byte (0x8B) or word (0x55) of the burner's memory, with its address.
    void memoryValue(int32_t value, int32_t address, bool word);
    // A word of the histogram's range, the value as read (0..65535).
    void histogramPart(int32_t value, int32_t address);
    // An actuator's report (0x8C): actuator name, " started " or " stopped ",
    // its clock and the program state, one column each in the daily file.
    void actuatorEvent(const QString& device, const QString& activity, const QString& clock,
                       const QString& state);

  private:
    void Dispatch(uint8_t command, std::span<const uint8_t> d);
    void LiveValues(std::span<const uint8_t> d, bool refresh);
    void StatusRecord(std::span<const uint8_t> d);
    void WordRead(std::span<const uint8_t> d);
    void ActuatorEvent(std::span<const uint8_t> d);

    PidLoops& loops_;
    const Clock* clock_ = &Clock::System();
    bool alarm_ = false;
    // Reply kinds whose handling has failed once: the first failure of each
    // goes to the event log, repeats stay quiet.
    std::bitset<256> failedKinds_;
};

}  // namespace tuvik
