#include "pid/PidSafeSend.h"

#include <QDateTime>

#include <utility>

#include "pid/PidLoops.h"
#include "pid/PidValidation.h"
#include "pid/PidWriteCheck.h"
#include "support/ExchangeGuard.h"
#include "support/MessageLog.h"
#include "support/UserDialogs.h"

namespace tuvik {

PidSafeSend::PidSafeSend(const PidEditorContext& context, PidEditorView& view, QObject* parent)
    : QObject(parent),
      ctx_(context),
      view_(view),
      send_(context.answers),
      statusRead_(context.loops, context.answers) {
    send_.setClock(*context.clock);
    connect(&statusRead_, &PidStatusRead::finished, this, &PidSafeSend::ReadFinished);
    connect(&send_, &PidSettingsSend::progress, this, &PidSafeSend::progress);
    connect(&send_, &PidSettingsSend::finished, this, &PidSafeSend::SendFinished);
}

PidSafeSend::~PidSafeSend() = default;

bool PidSafeSend::ValidateEditor() {
    const int index = ctx_.loops.selectedIndex();
    const ValidationOutcome out =
        ValidateSettings(ctx_.loops.at(index), index, view_.EditorValues());
    view_.ShowBoxes(out.boxes);
    if (!out.ok) {
        ctx_.dialogs.Message(AppTitle(), out.messageText);
    }
    return out.ok;
}

void PidSafeSend::Apply() {
    if (const std::optional<QString> why = safe_.Start()) {
        if (!why->isEmpty()) {
            ctx_.dialogs.Message(AppTitle(), *why);
        }
        emit ended(SafeWrite::Outcome::NotSent);
    }
}

bool PidSafeSend::Prepare(WriteCheck& check) {
    if (!ValidateEditor()) {
        return false;
    }
    // The check of what the editor sends; an editor that makes no loop
    // sends nothing, which the send says once the question is answered.
    const PidSettingsSend::Built built =
        PidSettingsSend::BuildLoop(view_.EditorValues(), ctx_.loops.selectedIndex(), ctx_.link());
    built_ = built.loop.has_value();
    if (built_) {
        check = MakePidWriteCheck(built.loop->Settings());
    }
    before_.reset();
    lastSendOk_ = false;
    return true;
}

void PidSafeSend::Ended(SafeWrite::Outcome outcome) {
    emit busyChanged();
    emit ended(outcome);
}

// ---- reads around a send ----------------------------------------------------

bool PidSafeSend::StartRead(bool readBack) {
    if (!readBack) {
        // From here to the verdict the loop, its list entry and the editor
        // stay as they are: the read-back judges the loop that was sent.
        emit busyChanged();
    }
    const int index = ctx_.loops.selectedIndex();
    if (!PidStatusReportsLoop(index)) {
        return false;
    }
    readBack_ = readBack;
    readIndex_ = index;
    // A status record retitles the window; these reads leave the title as it was.
    captionAtRead_ = ctx_.caption();
    emit reading(true);
    emit status(readBack ? PidSafeWriteText::ReadingAfter() : PidSafeWriteText::ReadingBefore());
    if (!statusRead_.start(ctx_.link())) {
        emit reading(false);
        emit status(QString());
        return false;
    }
    emit busyChanged();
    return true;
}

void PidSafeSend::ReadFinished(const std::optional<PidSettings>& device) {
    if (!safe_.running()) {
        return;
    }
    read_ = device;
    emit reading(false);
    emit status(QString());
    if (device) {
        ctx_.setCaption(captionAtRead_);
        emit deviceRead(readIndex_, *device);
    }
    const bool before = !readBack_;
    safe_.ReadEnded();
    if (before) {
        emit marksChanged();
    }
}

void PidSafeSend::TakeRead(WriteCheck& check, bool readBack) {
    if (!read_) {
        return;
    }
    if (readBack) {
        SetPidReadBack(check, *read_);
    } else {
        before_ = read_;
        if (built_) {
            SetPidDeviceValues(check, *read_);
        }
    }
}

// ---- the question, the backup, the send ----------------------------------------

void PidSafeSend::Ask(const WriteCheck& check) {
    const QString detail = built_ ? PidConfirmDetail(ctx_.loops.selectedIndex(), check) : QString();
    const QString text = QStringLiteral("    Confirm current settings ! ") + QStringLiteral("\n") +
                         QStringLiteral("You are now changing systems PID-regulation settings!");
    safe_.Confirmed(ctx_.dialogs.Confirm(QStringLiteral("PID control settings confirmation."), text,
                                         UserDialogs::Icon::None, detail));
}

bool PidSafeSend::BackUp(const WriteCheck&) {
    emit status(QString());
    lastBackup_.clear();
    if (!built_) {
        return true;  // the send says why nothing goes out
    }
    const int index = ctx_.loops.selectedIndex();
    const QString name = ctx_.loops[index].GetName();
    std::optional<QString> failure;
    if (before_) {
        const PidBackup backup =
            SavePidBackup(ctx_.backupDir(), name, index, *before_, QDateTime::currentDateTime());
        failure = backup.error;
        lastBackup_ = failure ? QString() : backup.path;
    }
    const bool reported = PidStatusReportsLoop(index);
    const QString line = !reported  ? PidSafeWriteText::NotReported()
                         : !before_ ? SafeWriteText::BackupFailed(SafeWriteText::NotRead())
                         : failure  ? SafeWriteText::BackupFailed(*failure)
                                    : SafeWriteText::BackupSaved(lastBackup_);
    ctx_.log.AddMessage(PidSafeWriteText::LogLine(name, line));
    emit status(line);
    // Without a backup only when the operator says so.
    if (reported && !lastBackup_.isEmpty()) {
        return true;
    }
    return !reported || ctx_.dialogs.AskYesNo(
                            AppTitle(), failure ? PidSafeWriteText::WriteWithoutSavedBackup(line)
                                                : SafeWriteText::WriteWithoutBackup());
}

void PidSafeSend::Write() {
    const int index = ctx_.loops.selectedIndex();
    DeviceLink* link = ctx_.link();
    PidSettingsSend::Built built = PidSettingsSend::BuildLoop(view_.EditorValues(), index, link);
    if (!built.loop) {
        ctx_.dialogs.Message(AppTitle(), QStringLiteral(" Error SendPIDSettings ") + built.error);
        safe_.WriteEnded(SafeWrite::Outcome::NotSent);
        return;
    }
    const clsPID* selected = ctx_.loops.Selected();
    const uint8_t autoSetPoint = selected && selected->Settings().AutoSetPoint ? 1 : 0;
    emit sending(true);
    if (!send_.start(std::move(*built.loop), autoSetPoint, link)) {
        emit sending(false);
        ctx_.dialogs.Message(AppTitle(), ExchangeGuard::BusyMessage());
        safe_.WriteEnded(SafeWrite::Outcome::NotSent);
    }
    emit busyChanged();
}

void PidSafeSend::SendFinished(PidSettingsSend::Outcome outcome, const QString& detail) {
    emit sending(false);
    SafeWrite::Outcome end = SafeWrite::Outcome::NotAcknowledged;
    switch (outcome) {
        case PidSettingsSend::Outcome::Sent:
            ctx_.setCaption(detail);
            end = SafeWrite::Outcome::Sent;
            break;
        case PidSettingsSend::Outcome::NotAcknowledged:
            ctx_.dialogs.Message(QStringLiteral("PID error"),
                                 QStringLiteral("PID settings upload not successfull!"),
                                 UserDialogs::Icon::Critical);
            break;
        case PidSettingsSend::Outcome::Failed:
            // The answer does not matter: the user is only warned. A send
            // that could not be carried out has no controller to ask.
            ctx_.dialogs.Confirm(AppTitle(),
                                 QStringLiteral("ERROR sending parameters! Please try again. False "
                                                "parameters may drive the system unstable!"));
            end = SafeWrite::Outcome::Failed;
            break;
    }
    lastSendOk_ = end == SafeWrite::Outcome::Sent;
    safe_.WriteEnded(end);
}

void PidSafeSend::Judge(const WriteCheck& check, bool readBack) {
    if (!readBack) {
        return;  // no verdict without a controller to ask
    }
    const PidReadBackVerdict verdict =
        JudgeReadBack(ctx_.loops[readIndex_].GetName(), check, lastBackup_);
    ctx_.log.AddMessage(verdict.logLine);
    emit status(verdict.status);
    emit judged(readIndex_, verdict.logLine);
    // A send already reported as failed gets no second box for a controller
    // that did not answer: only what it now holds is news.
    if (!verdict.verified && (lastSendOk_ || read_)) {
        ctx_.dialogs.Message(SafeWriteText::MismatchTitle(),
                             SafeWriteText::Mismatch(check.DifferencesText()),
                             UserDialogs::Icon::Warning);
    }
    emit marksChanged();
}

void PidSafeSend::Abandon() {
    send_.abandon();
    statusRead_.abandon();
    safe_.Abandon();
}

}  // namespace tuvik
