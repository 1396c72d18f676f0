#pragma once
// "Apply changes" as a safe write, the PID loop's counterpart of
// ParamSetSafeSend: the editor is checked, the controller's values are read
// (the status record), the confirmation shows the difference (and says so
// when the read failed), the controller's values are saved as a *.PID
// backup before the first write byte (the operator is asked before a send
// without one), the settings go out (PidSettingsSend), and the status record
// is read back and judged. From the start to the verdict the loop, its list
// entry and the editor stay as they are (see busy()).
//
// The step test sends its steps through the same path.

#include <QObject>
#include <QString>

#include <optional>

#include "pid/PidEditorView.h"
#include "pid/PidSettingsSend.h"
#include "pid/PidStatusRead.h"

namespace tuvik {

class PidSafeSend : public QObject {
    Q_OBJECT
  public:
    // How an "Apply changes" ended: declined or refused before anything went
    // out (NotSent), or the send's outcome once its read-back is over.
    enum class End { NotSent, Sent, NotAcknowledged, Failed };
    Q_ENUM(End)

    PidSafeSend(const PidEditorContext& context, PidEditorView& view, QObject* parent = nullptr);
    ~PidSafeSend() override;

    // "Apply changes". ended() follows, at once or after the exchanges.
    void Apply();
    // Checks the editor, stores what passes into the selected loop, puts the
    // boxes back as the checks left them and tells the user about the first
    // failure. False on a failure.
    bool ValidateEditor();
    // From Apply to its end: a read, the confirmation, the send or the read-back.
    bool busy() const { return applying_ || send_.running() || read_ != Read::None; }
    // The window is closing: a running send or read is abandoned, nothing reported.
    void Abandon();

    // How long the reads before and after a send wait for the status record.
    void setDeviceReadTimes(int readMs, int tcpExtraMs) {
        statusRead_.setTimes(readMs, tcpExtraMs);
    }
    // The backup written before the last send; empty when none was written.
    QString lastBackup() const { return lastBackup_; }
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
    void ended(tuvik::PidSafeSend::End end);
    // A send's read-back was judged: the loop's list index, the verdict and
    // the changed fields, on one line.
    void judged(int listIndex, const QString& text);

  private:
    enum class Read { None, BeforeSend, AfterSend };
    bool StartRead(Read which);
    void ReadFinished(const std::optional<PidSettings>& device);
    void ConfirmAndSend(const std::optional<PidSettings>& device);
    // The controller's values saved before the send; false when the send
    // must not go out (no backup, and the operator said no).
    bool WriteBackup(int index, const std::optional<PidSettings>& device);
    void Send();
    void SendFinished(PidSettingsSend::Outcome outcome, const QString& detail);
    void ReportReadBack(const std::optional<PidSettings>& device);
    void EndApply(End end);

    PidEditorContext ctx_;
    PidEditorView& view_;
    PidSettingsSend send_;
    PidStatusRead statusRead_;
    bool applying_ = false;  // from "Apply changes" to the end of its read-back
    Read read_ = Read::None;
    int readIndex_ = 0;
    QString captionAtRead_;
    // What the running send carries, from the confirmation to the read-back.
    std::optional<PidSettings> sent_;
    bool lastSendOk_ = false;
    End sendEnd_ = End::NotSent;  // told once the read-back is over
    QString lastBackup_;
};

}  // namespace tuvik
