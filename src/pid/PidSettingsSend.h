#pragma once
// Writes the settings of the editor into the parameter block of a loop in the
// controller: a temporary loop is built from the editor, its automatic
// setpoint flag goes out as a one-byte write, then its members as five
// memory writes, each followed by a pause; after a last pause the
// controller's positive acknowledgements are counted. Exactly six (the five
// writes and the flag byte) mean the block was taken, and the controller is
// told so with 0x34.
//
// The run is an AckedWriteSequence: on a timer, the data request off while
// it runs and back on afterwards however it ends, one long exchange at a
// time.

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/AckedWriteSequence.h"
#include "pid/PidEditorModel.h"
#include "pid/clsPID.h"

namespace tuvik {

class DeviceLink;

class PidSettingsSend : public QObject {
    Q_OBJECT
  public:
    // Pauses that give the controller time to write and acknowledge.
    static constexpr int kWritePauseMs = 200;
    static constexpr int kSettleMs = 1000;
    static constexpr int kTcpExtraMs = 1000;  // the relay adds its own delay
    static constexpr int kExpectedAcks = 6;
    static constexpr int kWrites = 5;
    static constexpr int kSteps = kWrites + 1;
    static const QString kExchangeName;

    enum class Outcome {
        Sent,             // six acknowledgements; 0x34 has gone out
        NotAcknowledged,  // the acknowledgements did not add up to six
        Failed,           // the send could not be carried out (no link, link lost)
    };
    Q_ENUM(Outcome)

    // Controller address of the block and the number given to the temporary
    // loop, by the loop selector's list index.
    struct Target {
        int16_t nameId;
        int16_t base;
    };
    static Target TargetFor(int listIndex);

    // The temporary loop, filled from the editor. Every box is converted here,
    // before anything is sent, so a box that is no number sends nothing.
    struct Built {
        std::optional<clsPID> loop;
        QString error;  // the conversion's description when loop is empty
    };
    static Built BuildLoop(const PidEditorValues& values, int listIndex, DeviceLink* link);

    // The five memory writes of a loop's settings, in the order they go out.
    struct Write {
        int address;
        std::vector<uint8_t> bytes;
    };
    static std::array<Write, kWrites> ParameterWrites(const clsPID& T);

    // answers: where the reply dispatcher announces the acknowledgements.
    explicit PidSettingsSend(const DeviceAnswers* answers, QObject* parent = nullptr);
    // A running send is abandoned quietly; the data request is put back on.
    ~PidSettingsSend() override;

    // Tests shorten the pauses between the writes.
    void setPauses(int writeMs, int settleMs, int tcpExtraMs);
    // The clock the pauses are timed by (the system's unless a session gives its own).
    void setClock(const Clock& clock) { sequence_.setClock(clock); }

    // Starts the send of T (built by BuildLoop) through link. autoSetPoint is
    // the selected loop's flag, written first. A relayed link lengthens the
    // last pause. Returns false, sending nothing, while another exchange runs.
    bool start(clsPID T, uint8_t autoSetPoint, DeviceLink* link);
    bool running() const { return sequence_.running(); }
    // Ends a running send without a verdict (the window is closing): the
    // data request is put back on and nothing is reported.
    void abandon();

    // The caption of a successful send: date and time in the locale's form
    // and " PID settings sent successfully!".
    static QString SuccessCaption();

  signals:
    void progress(int done, int total);
    // detail: the success caption for Sent, the failure's description for Failed.
    void finished(tuvik::PidSettingsSend::Outcome outcome, const QString& detail);

  private:
    void Ended(AckedWriteSequence::Outcome outcome, const QString& why);

    int writePauseMs_ = kWritePauseMs;
    int settleMs_ = kSettleMs;
    int tcpExtraMs_ = kTcpExtraMs;
    // The temporary loop: the flag byte goes out through it.
    std::optional<clsPID> loop_;
    AckedWriteSequence sequence_;
};

}  // namespace tuvik
