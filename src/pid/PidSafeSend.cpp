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
      send_(context.writeAckCount, nullptr, context.writeRefusedCount),
      statusRead_(context.loops, context.statusRecords) {
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
    if (busy() || ExchangeGuard::Busy()) {
        ctx_.dialogs.Message(AppTitle(), ExchangeGuard::BusyMessage());
        emit ended(End::NotSent);
        return;
    }
    if (!ValidateEditor()) {
        emit ended(End::NotSent);
        return;
    }
    // From here to the verdict the loop, its list entry and the editor stay
    // as they are: the read-back judges the loop that was sent.
    applying_ = true;
    emit busyChanged();
    // The controller's values go beside the confirmation; the box opens when
    // they are in or the read's time is up.
    if (!StartRead(Read::BeforeSend)) {
        ConfirmAndSend(std::nullopt);
    }
}

void PidSafeSend::EndApply(End end) {
    applying_ = false;
    emit busyChanged();
    emit ended(end);
}

void PidSafeSend::ConfirmAndSend(const std::optional<PidSettings>& device) {
    const int index = ctx_.loops.selectedIndex();
    const PidSettingsSend::Built built =
        PidSettingsSend::BuildLoop(view_.EditorValues(), index, ctx_.link());
    sent_.reset();
    QString detail;
    if (built.loop) {
        WriteCheck check = MakePidWriteCheck(built.loop->Settings());
        if (device) {
            SetPidDeviceValues(check, *device);
        }
        detail = PidConfirmDetail(index, check);
    }
    const QString text = QStringLiteral("    Confirm current settings ! ") + QStringLiteral("\n") +
                         QStringLiteral("You are now changing systems PID-regulation settings!");
    if (!ctx_.dialogs.Confirm(QStringLiteral("PID control settings confirmation."), text,
                              UserDialogs::Icon::None, detail)) {
        EndApply(End::NotSent);
        return;
    }
    emit status(QString());
    lastBackup_.clear();
    if (built.loop && !WriteBackup(index, device)) {
        EndApply(End::NotSent);
        return;
    }
    if (built.loop) {
        sent_ = built.loop->Settings();
    }
    Send();
}

bool PidSafeSend::WriteBackup(int index, const std::optional<PidSettings>& device) {
    const QString name = ctx_.loops[index].GetName();
    std::optional<QString> failure;
    if (device) {
        const PidBackup backup =
            SavePidBackup(ctx_.backupDir(), name, index, *device, QDateTime::currentDateTime());
        failure = backup.error;
        lastBackup_ = failure ? QString() : backup.path;
    }
    const bool reported = PidStatusReportsLoop(index);
    const QString line = !reported ? PidSafeWriteText::NotReported()
                         : !device ? SafeWriteText::BackupFailed(SafeWriteText::NotRead())
                         : failure ? SafeWriteText::BackupFailed(*failure)
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

void PidSafeSend::Send() {
    const int index = ctx_.loops.selectedIndex();
    DeviceLink* link = ctx_.link();
    PidSettingsSend::Built built = PidSettingsSend::BuildLoop(view_.EditorValues(), index, link);
    if (!built.loop) {
        ctx_.dialogs.Message(AppTitle(), QStringLiteral(" Error SendPIDSettings ") + built.error);
        EndApply(End::NotSent);
        return;
    }
    const clsPID* selected = ctx_.loops.Selected();
    const uint8_t autoSetPoint = selected && selected->Settings().AutoSetPoint ? 1 : 0;
    emit sending(true);
    if (!send_.start(std::move(*built.loop), autoSetPoint, link)) {
        emit sending(false);
        ctx_.dialogs.Message(AppTitle(), ExchangeGuard::BusyMessage());
        EndApply(End::NotSent);
    }
    emit busyChanged();
}

void PidSafeSend::SendFinished(PidSettingsSend::Outcome outcome, const QString& detail) {
    emit sending(false);
    switch (outcome) {
        case PidSettingsSend::Outcome::Sent:
            ctx_.setCaption(detail);
            break;
        case PidSettingsSend::Outcome::NotAcknowledged:
            ctx_.dialogs.Message(QStringLiteral("PID error"),
                                 QStringLiteral("PID settings upload not successfull!"),
                                 UserDialogs::Icon::Critical);
            break;
        case PidSettingsSend::Outcome::Failed:
            // The answer does not matter: the user is only warned.
            ctx_.dialogs.Confirm(AppTitle(),
                                 QStringLiteral("ERROR sending parameters! Please try again. False "
                                                "parameters may drive the system unstable!"));
            break;
    }
    // Whatever the acknowledgements said, the operator learns what the
    // controller now holds; a send that could not be carried out has no
    // controller to ask.
    lastSendOk_ = outcome == PidSettingsSend::Outcome::Sent;
    sendEnd_ = lastSendOk_                                   ? End::Sent
               : outcome == PidSettingsSend::Outcome::Failed ? End::Failed
                                                             : End::NotAcknowledged;
    if (outcome == PidSettingsSend::Outcome::Failed || !sent_ || !StartRead(Read::AfterSend)) {
        sent_.reset();
        EndApply(sendEnd_);
    }
}

// ---- reads around a send ----------------------------------------------------

bool PidSafeSend::StartRead(Read which) {
    const int index = ctx_.loops.selectedIndex();
    if (!PidStatusReportsLoop(index)) {
        return false;
    }
    // Set before the request goes out: a link that fails on it ends the read
    // at once.
    read_ = which;
    readIndex_ = index;
    // A status record retitles the window; these reads leave the title as it was.
    captionAtRead_ = ctx_.caption();
    emit reading(true);
    emit status(which == Read::BeforeSend ? PidSafeWriteText::ReadingBefore()
                                          : PidSafeWriteText::ReadingAfter());
    if (!statusRead_.start(ctx_.link())) {
        read_ = Read::None;
        emit reading(false);
        emit status(QString());
        return false;
    }
    emit busyChanged();
    return true;
}

void PidSafeSend::ReadFinished(const std::optional<PidSettings>& device) {
    const Read which = std::exchange(read_, Read::None);
    if (which == Read::None) {
        return;
    }
    emit reading(false);
    emit status(QString());
    if (device) {
        ctx_.setCaption(captionAtRead_);
        emit deviceRead(readIndex_, *device);
    }
    if (which == Read::BeforeSend) {
        ConfirmAndSend(device);
    } else {
        ReportReadBack(device);
    }
    emit marksChanged();
    if (which == Read::AfterSend) {
        EndApply(sendEnd_);
    }
}

void PidSafeSend::ReportReadBack(const std::optional<PidSettings>& device) {
    if (!sent_) {
        return;
    }
    WriteCheck check = MakePidWriteCheck(*std::exchange(sent_, std::nullopt));
    if (device) {
        SetPidReadBack(check, *device);
    }
    const PidReadBackVerdict verdict =
        JudgeReadBack(ctx_.loops[readIndex_].GetName(), check, lastBackup_);
    ctx_.log.AddMessage(verdict.logLine);
    emit status(verdict.status);
    QStringList changed;
    for (const QString& line : check.DiffText().split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1Char('*'))) {
            changed << line.simplified();
        }
    }
    emit judged(readIndex_, changed.isEmpty() ? verdict.logLine
                                              : verdict.logLine + QStringLiteral(" | ") +
                                                    changed.join(QStringLiteral("; ")));
    // A send already reported as failed gets no second box for a controller
    // that did not answer: only what it now holds is news.
    if (!verdict.verified && (lastSendOk_ || device)) {
        ctx_.dialogs.Message(SafeWriteText::MismatchTitle(),
                             SafeWriteText::Mismatch(check.DifferencesText()),
                             UserDialogs::Icon::Warning);
    }
}

void PidSafeSend::Abandon() {
    send_.abandon();
    read_ = Read::None;
    statusRead_.abandon();
    sent_.reset();
    applying_ = false;
}

}  // namespace tuvik
