#include "pid/PidEditorController.h"

#include "link/DeviceLink.h"
#include "link/Packet.h"
#include "pid/PidLoops.h"
#include "support/EventLog.h"
#include "support/ExchangeGuard.h"
#include "support/UserDialogs.h"

namespace tuvik {

const QString PidEditorController::kNoStatusText = QStringLiteral(
    "No reply from the controller: the loop's settings were not read. The editor shows the "
    "values held by the program.");

namespace {

// A slider shows the nearest end of its range; the rest of the editor is
// still filled, and the event log says why.
int SliderPosition(double value, int max) {
    if (value < 0 || value > max) {
        WriteEventLog(QStringLiteral("Error TextRefresh Invalid property value"));
        return value < 0 ? 0 : max;
    }
    return static_cast<int>(value);
}

}  // namespace

PidEditorController::PidEditorController(const PidEditorContext& context, PidEditorView& view,
                                         QObject* parent)
    : QObject(parent),
      ctx_(context),
      view_(view),
      safeSend_(context, view),
      currentValues_(context.loops, context.answers) {
    connect(&currentValues_, &PidStatusRead::finished, this,
            &PidEditorController::CurrentValuesRead);
    connect(&safeSend_, &PidSafeSend::busyChanged, this, &PidEditorController::locksChanged);
    connect(&safeSend_, &PidSafeSend::marksChanged, this, &PidEditorController::marksChanged);
    connect(&safeSend_, &PidSafeSend::deviceRead, this,
            [this](int index, const PidSettings& device) {
                if (index >= 0 && index < static_cast<int>(deviceValues_.size())) {
                    deviceValues_[static_cast<size_t>(index)] = device;
                }
            });
}

QStringList PidEditorController::SelectFirstLoop() {
    ctx_.loops.SetSelectedIndex(0);
    return {ctx_.loops[0].GetDesc(), ctx_.loops[1].GetDesc()};
}

bool PidEditorController::SelectLoop(int index) {
    if (LoopFixed()) {
        return false;
    }
    ctx_.loops.SetSelectedIndex(index);
    if (index == 0 || index == 1) {
        if (DeviceLink* link = ctx_.link()) {
            // 80 01 index 7F: the controller reports this loop from now on.
            link->Send(Cmd::SelectLoop) && link->Send(1) && link->Send(index) &&
                link->Send(Cmd::SelectLoop, true);
        }
    }
    ShowLoopSettings();
    emit selectedLoopChanged();
    return true;
}

void PidEditorController::ShowLoopSettings() {
    const clsPID* L = ctx_.loops.Selected();
    if (L == nullptr) {
        WriteEventLog(QStringLiteral("Error TextRefresh Subscript out of range"));
        return;
    }
    const LoopSettingsView v = MakeLoopSettingsView(*L);
    const int manual = SliderPosition(v.manualSlider, kManualSliderMax);
    const int setpoint = SliderPosition(v.setpointSlider, kSetpointSliderMax);
    view_.ShowLoop(v, manual, setpoint);
}

void PidEditorController::GetCurrentValues() {
    DeviceLink* link = ctx_.link();
    if (link == nullptr) {
        return;
    }
    // One exchange at a time: a status record in the middle of another
    // would be read as that exchange's answer.
    if (ExchangeGuard::Busy()) {
        ctx_.dialogs.Message(AppTitle(), ExchangeGuard::BusyMessage());
        return;
    }
    // The periodic request pauses even when the port is closed.
    link->SetRefreshTimer(false);
    if (link->PortOpen() && currentValues_.start(link, PidStatusRead::Kind::Show)) {
        emit locksChanged();
        ShowLoopSettings();
    }
}

void PidEditorController::CurrentValuesRead(const std::optional<PidSettings>& device) {
    ShowLoopSettings();
    emit locksChanged();
    if (!device) {
        ctx_.dialogs.Message(AppTitle(), kNoStatusText, UserDialogs::Icon::Warning);
        return;
    }
    const int index = ctx_.loops.selectedIndex();
    if (PidStatusReportsLoop(index)) {
        deviceValues_[static_cast<size_t>(index)] = device;
        emit marksChanged();
    }
}

void PidEditorController::ApplyManualOutput(int output) {
    view_.ShowManualOutput(output);
    safeSend_.Apply();
}

void PidEditorController::SendCommand(uint8_t cmd) {
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        ctx_.dialogs.Message(AppTitle(), why);
        return;
    }
    if (DeviceLink* link = ctx_.link()) {
        link->SendRequest(cmd);
    }
}

void PidEditorController::ShowLoopInfo() {
    if (const clsPID* L = ctx_.loops.Selected()) {
        ctx_.dialogs.Message(AppTitle(), L->info());
    }
}

bool PidEditorController::LoopFixed() const {
    return loopHeld_ || safeSend_.busy() || currentValues_.running();
}

void PidEditorController::HoldLoop(bool hold) {
    loopHeld_ = hold;
    emit locksChanged();
}

PidEditorController::Locks PidEditorController::locks() const {
    const bool exchange = safeSend_.busy();
    Locks l;
    // "Apply changes" waits for "Get current values" to end: its read holds
    // the exchange.
    l.apply = !exchange && !currentValues_.running();
    l.getValues = !exchange && !currentValues_.running();
    l.editor = !exchange;
    l.loopChoice = !LoopFixed();
    return l;
}

PidFieldMarks PidEditorController::MarkTips(const PidEditorValues& values) const {
    const int index = ctx_.loops.selectedIndex();
    const bool known = index >= 0 && index < static_cast<int>(deviceValues_.size());
    PidFieldMarks marks =
        PidEditorMarks(values, known ? deviceValues_[static_cast<size_t>(index)] : std::nullopt);
    for (std::optional<QString>& m : marks) {
        if (m) {
            m = PidSafeWriteText::DeviceValueTip(*m);
        }
    }
    return marks;
}

void PidEditorController::LoopReplaced(const PidLoadOutcome& out) {
    if (out.kind == PidLoadOutcome::Kind::Failed) {
        ctx_.dialogs.Message(AppTitle(), out.messageText);
        return;
    }
    if (out.kind == PidLoadOutcome::Kind::NotAllowed) {
        ctx_.dialogs.Message(AppTitle(), out.messageText);
    }
    ShowLoopSettings();
    emit selectedLoopChanged();
}

void PidEditorController::LoadDefaults() {
    if (LoopFixed()) {
        return;
    }
    const int index = ctx_.loops.selectedIndex();
    LoopReplaced(LoadPidDefaults(ctx_.loops, index, ctx_.findDataFile(DefaultPidFile(index))));
}

void PidEditorController::LoadSettings() {
    if (LoopFixed()) {
        return;
    }
    const QString path = ctx_.dialogs.OpenFileName(PidFile::LoadTitle(), PidFile::Filter());
    const int index = ctx_.loops.selectedIndex();
    if (path.isEmpty()) {
        return;
    }
    // A backup names the loop it was made of; loops may share a name.
    if (const std::optional<int> of = PidBackupLoop(path);
        of && *of != index &&
        !ctx_.dialogs.AskYesNo(AppTitle(), PidSafeWriteText::OtherLoopBackup(*of, index))) {
        return;
    }
    LoopReplaced(LoadPidSettings(ctx_.loops, index, path));
}

void PidEditorController::SaveSettings() {
    if (!safeSend_.ValidateEditor()) {
        return;
    }
    const QString path = ctx_.dialogs.SaveFileName(PidFile::SaveTitle(), PidFile::Filter());
    if (path.isEmpty()) {
        return;
    }
    if (SavePidFile(path, ctx_.loops.Selected())) {
        ctx_.dialogs.Message(AppTitle(), SaveErrorText());
    }
}

void PidEditorController::Unload() {
    currentValues_.timer().stop();
    currentValues_.abandon();
    safeSend_.Abandon();
}

}  // namespace tuvik
