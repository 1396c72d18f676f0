#pragma once
// Writes the burner's parameter set back as three memory-write blocks,
// counting the burner's acknowledgements, as an AckedWriteSequence (on a
// timer, so that the window stays responsive):
//
//   refresh request off, block 1, pause, blocks 2 and 3, pause,
//   refresh request back, pause, pause, judge by the acknowledgements.
//
// Acknowledgements are counted by the reply dispatcher into a counter owned
// elsewhere (shared with the PID settings send); the upload sets it to 0 at
// its start and reads it at its end. More than two means all three blocks
// were taken, and the burner is told to take the new set into use (0x34).

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "burner/ParamSet.h"
#include "link/AckedWriteSequence.h"

namespace tuvik {

class DeviceLink;

class ParamSetUpload : public QObject {
    Q_OBJECT
  public:
    // The pauses that leave the burner time to write and acknowledge.
    static constexpr int kPauseMs = 700;
    static constexpr int kSteps = 6;
    static const QString kOkText;    // "Flamora parameters upload OK"
    static const QString kFailText;  // "Parameters upload FAILLED!!"
    static const QString kExchangeName;

    enum class Start {
        Started,     // the sequence runs; finished() follows
        GetInstead,  // the set was never read: a read request (0x83) went out instead
        Refused,     // nothing was sent; the reason says why
    };

    // answers: where the reply dispatcher announces the acknowledgements; any
    // refusal fails the upload, whatever the count of positive ones.
    explicit ParamSetUpload(const DeviceAnswers* answers = nullptr, QObject* parent = nullptr);
    // A running upload is abandoned quietly: the refresh request is put back.
    ~ParamSetUpload() override;
    // Tests shorten the pause between two writes.
    void setPauseMs(int ms) { pauseMs_ = ms; }
    // The clock the pauses are timed by (the system's unless a session gives its own).
    void setClock(const Clock& clock) { sequence_.setClock(clock); }

    // Takes the box texts as they stand now. Every box is checked before
    // anything is sent, so a bad box never leaves the burner with a partly
    // written set.
    Start start(DeviceLink* link, const QStringList& boxTexts, QString* reason = nullptr);
    bool running() const { return sequence_.running(); }

  signals:
    void progress(int done, int total);
    // ok: "Flamora parameters upload OK" (0x34 has gone out); otherwise
    // "Parameters upload FAILLED!!".
    void finished(bool ok, const QString& message);

  private:
    int pauseMs_ = kPauseMs;
    AckedWriteSequence sequence_;
};

}  // namespace tuvik
