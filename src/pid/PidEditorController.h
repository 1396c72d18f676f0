#pragma once
// What the PID editor does, without its widgets: choosing the loop (and
// telling the controller which loop to report), filling the editor from it,
// "Get current values", "Apply changes" (PidSafeSend), the one-byte
// commands, the *.PID file buttons, the marks of the values that differ from
// the controller's, and which controls are locked while an exchange runs or
// the step test holds the loop.

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

#include "pid/PidEditorView.h"
#include "pid/PidFiles.h"
#include "pid/PidSafeSend.h"
#include "pid/PidStatusRead.h"
#include "pid/PidWriteCheck.h"

namespace tuvik {

class PidEditorController : public QObject {
    Q_OBJECT
  public:
    // Told when a read of the loop's settings got no status record back: the
    // editor then shows what the program held, not what the controller has.
    static const QString kNoStatusText;

    PidEditorController(const PidEditorContext& context, PidEditorView& view,
                        QObject* parent = nullptr);

    // The loop selector's entries (the descriptions of loops 0 and 1); the
    // first is selected.
    QStringList SelectFirstLoop();
    // The loop selector moved to index. False when another loop cannot be
    // chosen now: the selector goes back to the selected loop.
    bool SelectLoop(int index);
    // Fills the editor from the selected loop.
    void ShowLoopSettings();

    // "Get current values": the selected loop's settings read from the
    // controller, shown after TimerGetCurrentValues (currentValuesTimer()).
    void GetCurrentValues();
    // "Apply changes".
    void Apply() { safeSend_.Apply(); }
    // The step test: the editor in manual at `output` (whole percent), and
    // that sent as "Apply changes" sends it.
    void ApplyManualOutput(int output);
    // The step test: the editor in manual at `output`, nothing sent.
    void ShowManualOutput(int output) { view_.ShowManualOutput(output); }
    // The step test's suggestion: K, Ti and Td into the editor, nothing sent.
    void ShowTuning(double K, double Ti, double Td) { view_.ShowTuning(K, Ti, Td); }

    // A request without data (the "+", "-", "e" and "dis" buttons).
    void SendCommand(uint8_t cmd);
    // The selected loop's description (the "Command1" button).
    void ShowLoopInfo();
    void LoadDefaults();
    void LoadSettings();
    void SaveSettings();

    // The step test keeps its loop selected until the output is returned.
    void HoldLoop(bool hold);
    // Another loop cannot be chosen or loaded now.
    bool LoopFixed() const;
    // Which controls take input now.
    struct Locks {
        bool apply = true;       // cmdOK
        bool getValues = true;   // btnGetCurrentValues
        bool editor = true;      // the mode row, the boxes and the sliders
        bool loopChoice = true;  // comboPID, cmdDefaults, cmdLoadSettings
    };
    Locks locks() const;
    // The tool tip of each field that holds a value other than the
    // controller's as last read; nothing for the others.
    PidFieldMarks MarkTips(const PidEditorValues& values) const;

    // The window is closing: reads and sends are abandoned, nothing reported.
    void Unload();

    PidSafeSend& safeSend() { return safeSend_; }
    QTimer& currentValuesTimer() { return currentValues_.timer(); }

  signals:
    // Another loop was selected, or the selected loop was replaced.
    void selectedLoopChanged();
    // locks() may have changed.
    void locksChanged();
    // MarkTips() may have changed.
    void marksChanged();

  private:
    void CurrentValuesRead(const std::optional<PidSettings>& device);
    void LoopReplaced(const PidLoadOutcome& out);

    PidEditorContext ctx_;
    PidEditorView& view_;
    PidSafeSend safeSend_;
    PidStatusRead currentValues_;
    bool loopHeld_ = false;
    // The controller's settings as last read, by loop selector entry.
    std::array<std::optional<PidSettings>, 4> deviceValues_{};
};

}  // namespace tuvik
