#pragma once
// The PID editor as the editor's flows (PidEditorController, PidSafeSend,
// the step test) see it: what its controls hold, and what they are told to
// show. The window implements it; tests implement it without widgets.
//
// PidEditorContext is what those flows take from the running program.

#include <QString>

#include <cstdint>
#include <functional>

#include "pid/PidEditorModel.h"
#include "support/Clock.h"

namespace tuvik {

class DeviceAnswers;
class DeviceLink;
class MessageLog;
class PidLoops;
class UserDialogs;

class PidEditorView {
  public:
    virtual ~PidEditorView() = default;
    // The editor's state as the controls hold it.
    virtual PidEditorValues EditorValues() const = 0;
    // The boxes as the checks left them.
    virtual void ShowBoxes(const PidBoxTexts& boxes) = 0;
    // The editor filled from a loop; the sliders at the given positions,
    // already within their ranges.
    virtual void ShowLoop(const LoopSettingsView& loop, int manualSlider, int setpointSlider) = 0;
    // Manual mode at `output` (whole percent), nothing else changed.
    virtual void ShowManualOutput(int output) = 0;
    // K, Ti and Td put into their boxes as the editor shows numbers.
    virtual void ShowTuning(double K, double Ti, double Td) = 0;
};

struct PidEditorContext {
    PidLoops& loops;
    UserDialogs& dialogs;
    MessageLog& log;
    // Where the write acknowledgements and the status records are announced.
    const DeviceAnswers* answers = nullptr;
    // The active link (may be none).
    std::function<DeviceLink*()> link;
    // The main window's title now, and a new one.
    std::function<QString()> caption;
    std::function<void(const QString&)> setCaption;
    // Where the backups before a send go.
    std::function<QString()> backupDir;
    // The path of a data file (the default *.PID files) from its relative path.
    std::function<QString(const QString&)> findDataFile;
    // What times the send's pauses: the session's clock.
    const Clock* clock = &Clock::System();
};

}  // namespace tuvik
