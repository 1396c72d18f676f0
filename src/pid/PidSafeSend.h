#pragma once
// "Apply changes" as a safe write (SafeWrite): the editor is checked, the
// controller's values are read (the status record), the confirmation shows
// the difference (and says so when the read failed), the controller's values
// are saved as a *.PID backup before the first write byte (the operator is
// asked before a send without one), the settings go out (PidSettingsSend),
// and the status record is read back and judged. From the start to the
// verdict the loop, its list entry and the editor stay as they are (see
// busy()).
//
// The step test sends its steps through the same path.

#include <QObject>
#include <QString>

#include <optional>

#include "pid/PidEditorView.h"
#include "pid/PidSettingsSend.h"
#include "pid/PidStatusRead.h"
#include "support/SafeWrite.h"

namespace tuvik {

class PidSafeSend : public QObject, private SafeWriteFlow {
    Q_OBJECT
  public:
    PidSafeSend(const PidEditorContext& context, PidEditorView& view, QObject* parent = nullptr);
    ~PidSafeSend() override;

    // "Apply changes". ended() follows, at once or after the exchanges.
    void Apply();
    // Checks the editor, stores what passes into the selected loop, puts the
    // boxes back as the checks left them and tells the user about the first
    // failure. False on a failure.
    bool ValidateEditor();
    // From Apply to its end: a read, the confirmation, the send or the read-back.
    bool busy() const { return safe_.running(); }
    // The window is closing: a running send or read is abandoned, nothing reported.
    void Abandon();

    // How long the reads before and after a send wait for the status record.
    void setDeviceReadTimes(int readMs, int tcpExtraMs) {
        statusRead_.setTimes(readMs, tcpExtraMs);
    }
    PidSettingsSend& sender() { return send_; }

  signals:
    // The status record is being read (a busy indicator), or no longer.
    void reading(bool on);
    // The settings are being sent (with progress), or no longer.
    void sending(bool on);
    void progress(int done, int total);
    // The line under the buttons: the reads, the backup, the verdict.
    void status(const QString& text);
    // busy() may have changed.
    void busyChanged();
    // The controller's settings of the loop at listIndex as just read.
    void deviceRead(int listIndex, const tuvik::PidSettings& device);
    // The editor's marks are to be shown again.
    void marksChanged();
    void ended(tuvik::SafeWrite::Outcome outcome);
    // A send's read-back was judged: the loop's list index and the verdict
    // on one line.
    void judged(int listIndex, const QString& text);

  private:
    // SafeWriteFlow
    std::optional<QString> Check(WriteCheck&) override { return std::nullopt; }
    bool Prepare(WriteCheck& check) override;
    bool StartRead(bool readBack) override;
    std::optional<QString> NotRead() override { return std::nullopt; }
    void TakeRead(WriteCheck& check, bool readBack) override;
    void Ask(const WriteCheck& check) override;
    bool BackUp(const WriteCheck& check) override;
    void Write() override;
    void Judge(const WriteCheck& check, bool readBack) override;
    void Ended(SafeWrite::Outcome outcome) override;

    void ReadFinished(const std::optional<PidSettings>& device);
    void SendFinished(PidSettingsSend::Outcome outcome, const QString& detail);

    PidEditorContext ctx_;
    PidEditorView& view_;
    PidSettingsSend send_;
    PidStatusRead statusRead_;
    SafeWrite safe_{*this};
    int readIndex_ = 0;
    bool built_ = false;  // the editor made a loop to send
    bool readBack_ = false;
    QString captionAtRead_;
    std::optional<PidSettings> read_;    // the last read's answer
    std::optional<PidSettings> before_;  // the controller's values before the send
    bool lastSendOk_ = false;
    QString lastBackup_;
};

}  // namespace tuvik
