#pragma once
// One safe write, whatever it writes: the device's values are read before
// the write, the operator answers the flow's questions, what is about to be
// overwritten is backed up, the write goes out, the values are read back and
// the flow gives its verdict. Nothing goes out while a recording is replayed
// or another exchange runs; both are asked here and nowhere else.
//
// A flow describes one kind of write through SafeWriteFlow: what it checks
// and carries (the fields of its WriteCheck), what it reads, how it asks,
// how it backs up, what it writes and how it tells the verdict. Its reads
// and its write may take their time: it reports their end with ReadEnded()
// and WriteEnded(), its questions' answer with Confirmed().

#include <QObject>
#include <QString>

#include <optional>

#include "support/WriteCheck.h"

namespace tuvik {

class SafeWriteFlow;

class SafeWrite {
    Q_GADGET
  public:
    // How a safe write ended.
    enum class Outcome {
        NotSent,          // refused, declined or cancelled: nothing was written
        Sent,             // written and acknowledged; the verdict is the flow's
        NotAcknowledged,  // written, not acknowledged as a whole; read back all the same
        Failed,           // the write could not be carried out; nothing is read back
    };
    Q_ENUM(Outcome)

    explicit SafeWrite(SafeWriteFlow& flow) : flow_(flow) {}

    // Nothing when the write started (the flow's Ended follows, perhaps at
    // once); otherwise why nothing was sent, empty when the flow has said so.
    std::optional<QString> Start();
    bool running() const { return stage_ != Stage::Idle; }
    bool writing() const { return stage_ == Stage::Writing; }
    const WriteCheck& check() const { return check_; }

    // The flow's read before the write or after it is over.
    void ReadEnded();
    // The flow's questions were answered: yes backs up and writes.
    void Confirmed(bool yes);
    // The flow's write is over.
    void WriteEnded(Outcome outcome);
    // Ends a running write without a word (the window is closing).
    void Abandon() { stage_ = Stage::Idle; }

  private:
    enum class Stage { Idle, ReadBefore, Asking, Writing, ReadBack };
    void Finish(Outcome outcome);

    SafeWriteFlow& flow_;
    WriteCheck check_;
    Outcome outcome_ = Outcome::NotSent;  // of the write, told after its read-back
    Stage stage_ = Stage::Idle;
};

class SafeWriteFlow {
  public:
    virtual ~SafeWriteFlow() = default;

    // Before the exchange guard is asked: the flow's own refusals (nothing,
    // or why nothing is sent), and the fields the write carries.
    virtual std::optional<QString> Check(WriteCheck& check) = 0;
    // Whether the write waits behind another exchange; one with nothing to
    // read does not.
    virtual bool TakesTurn(const WriteCheck&) const { return true; }
    // After the guard: the flow's own preparation; false when nothing goes
    // out (the flow has said why).
    virtual bool Prepare(WriteCheck&) { return true; }
    // Starts the read before the write or the read-back; false when none
    // could start. ReadEnded() follows a read that started.
    virtual bool StartRead(bool readBack) = 0;
    // The read before could not start: why nothing is sent, or nothing to
    // go on without the device's values.
    virtual std::optional<QString> NotRead() = 0;
    // The values of the read just over into the check.
    virtual void TakeRead(WriteCheck& check, bool readBack) = 0;
    // The questions before the write; answered with Confirmed().
    virtual void Ask(const WriteCheck& check) = 0;
    // Saves what the write overwrites; false when the write must not go out.
    virtual bool BackUp(const WriteCheck& check) = 0;
    // Starts the write; WriteEnded() follows, perhaps at once.
    virtual void Write() = 0;
    // The verdict on an acknowledged or unacknowledged write; readBack:
    // a read-back ran (its answers are in the check).
    virtual void Judge(const WriteCheck& check, bool readBack) = 0;
    // The safe write is over.
    virtual void Ended(SafeWrite::Outcome) {}
};

}  // namespace tuvik
