#pragma once
// A timed run of memory writes that the device acknowledges one by one, as
// the PID settings send and the burner's parameter-set upload make it: the
// periodic data request off, the writes with their pauses, a verdict on the
// acknowledgements counted meanwhile, and on success the command that tells
// the device to take the new values into use.
//
// The run goes on a timer so that the window stays responsive; it counts the
// acknowledgements the reply dispatcher announces while it runs (positive and
// refused ones). Only one long exchange with the
// device runs at a time; a link that goes away ends the run as failed. The
// data request comes back however the run ends: on, or as it was before.

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

#include "link/LinkExchangeLock.h"
#include "support/ClockTimer.h"

namespace tuvik {

class DeviceAnswers;
class DeviceLink;

class AckedWriteSequence : public QObject {
    Q_OBJECT
  public:
    // One step of a run, carried out in order. Everything up to a pause runs
    // at once; the pause's end runs the steps after it.
    struct Step {
        enum class Kind { Write, Call, Progress, Pause, RefreshBack };
        Kind kind = Kind::Pause;
        int value = 0;               // the address of a write, a progress count, a pause in ms
        std::vector<uint8_t> bytes;  // what a write carries
        std::function<void()> call;  // a write the caller makes itself
    };
    static Step Write(int address, std::vector<uint8_t> bytes);
    static Step Call(std::function<void()> call);
    static Step Progress(int done);
    static Step Pause(int ms);
    // The data request back as the plan says, before the run's end.
    static Step RefreshBack();

    enum class Refresh { On, AsItWas };
    struct Plan {
        QString exchange;  // the one-at-a-time guard's name for the run
        std::vector<Step> steps;
        int total = 0;  // the progress count of the whole run
        // Whether the counted positive acknowledgements make a success. Any
        // refused acknowledgement is a failure whatever the count: a stray
        // positive one could make up for it.
        std::function<bool(int16_t acks)> accept;
        // Sent on success: the device takes the written values into use.
        std::function<void(DeviceLink&)> commit;
        Refresh refresh = Refresh::On;
    };

    enum class Outcome {
        Accepted,         // the acknowledgements made a success; the commit has gone out
        NotAcknowledged,  // they did not
        Failed,           // the run could not be carried out (link closed or lost)
    };
    enum class Start {
        Running,  // the first pause runs; finished() follows
        Busy,     // another exchange runs: nothing was done
        NotSent,  // it failed before its first pause; it is over, no signal follows
    };

    // answers: where the acknowledgements are announced (not owned); without
    // them no run is accepted.
    explicit AckedWriteSequence(const DeviceAnswers* answers = nullptr, QObject* parent = nullptr);
    // A running sequence is abandoned.
    ~AckedWriteSequence() override;

    // The count starts at 0 once the link is found open. notSent, when
    // given, says why a run that ended before its first pause failed.
    Start start(DeviceLink* link, Plan plan, QString* notSent = nullptr);
    bool running() const { return running_; }
    // Ends a running sequence quietly: the data request comes back, nothing is reported.
    void abandon();

    // The clock the pauses are timed by (the system's unless a session gives its own).
    void setClock(const Clock& clock) { timer_.setClock(clock); }

  signals:
    void progress(int done, int total);
    // why: the failure's description for Failed.
    void finished(tuvik::AckedWriteSequence::Outcome outcome, const QString& why);

  private:
    // One acknowledgement; counted while a run is under way, each count
    // stopping at 32767 rather than wrapping.
    void Acknowledged(bool accepted);
    void Run();
    void Fail(const QString& why);
    void Finish(Outcome outcome, const QString& why);
    void RestoreRefresh();
    void Stop();

    int16_t acks_ = 0;
    int16_t refused_ = 0;
    Plan plan_;
    size_t next_ = 0;
    QPointer<DeviceLink> link_;
    LinkExchangeLock lock_;
    ClockTimer timer_;
    QMetaObject::Connection lostConn_;
    QMetaObject::Connection goneConn_;
    bool running_ = false;
    bool refreshWasOn_ = true;
    bool refreshOff_ = false;
    bool starting_ = false;  // inside start(): a failure is returned, not signalled
    bool failedAtStart_ = false;
    QString startFailure_;
};

}  // namespace tuvik
