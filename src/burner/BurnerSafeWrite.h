#pragma once
// Safe writes of the burner windows: the device's values are read before a
// write, saved as a *.par backup before the first write byte, and read back
// after it to tell whether the burner holds what was sent. The writes
// themselves go out exactly as they always have (ParamSetUpload, the
// single-parameter requests, AllParamsModel::SendChecked); these sequences
// only put the reads and the verdict around them.

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

#include "burner/BurnerDeviceRead.h"
#include "burner/ParamSet.h"
#include "burner/ParamSetUpload.h"
#include "support/WriteCheck.h"

namespace tuvik {

class AllParamsModel;
class DeviceLink;

// The tool tip of a marked value, or nothing when the value is not marked:
// never read from the device, or the same number as the device's.
std::optional<QString> EditedMark(const QString& shown, const std::optional<QString>& device);

// The check of a parameter-set upload: one field per box, named by its
// label, carrying the value the upload puts on the wire (a word box's
// number cut to 16 bits reads back as such). A box the upload refuses
// gives that refusal instead.
std::variant<WriteCheck, BadBox> ParamSetWriteCheck(const QStringList& boxTexts);
// The *.par lines of the parameter set: address, the box's label (blanks
// made "_" so that the file loads back), value.
QByteArray ParamSetPar(const QStringList& boxTexts);
// Fills the boxes whose addresses a *.par file names (4..35, a word box by
// its first address), read as ReadParData reads it. Returns the number of
// boxes filled.
int LoadParamSetPar(const QByteArray& bytes, QStringList& boxTexts);
// The same from a file: the boxes as filled, or nothing when the file could
// not be read or named none of them.
std::optional<QStringList> LoadParamSetParFile(const QString& path, QStringList boxTexts);
// Writes a backup whole or not at all (the folder is made when missing);
// the reason when it could not be written.
std::optional<QString> SaveBackup(const QString& path, const QByteArray& data);
// A word read from the burner (0..65535) as the signed value it was written as.
QString WordText(int32_t raw);

// Asked when the read before a write went unanswered, so that no backup can
// be made: true to write anyway. Not set: nothing is written.
using AskWithoutBackup = std::function<bool()>;
// What the log and the status say when the operator declined that.
QString NothingSentText();

// "Send Values": read the set, back it up, upload it, read it back.
class ParamSetSafeSend : public QObject {
    Q_OBJECT
  public:
    ParamSetSafeSend(ParamSetUpload& upload, QString dataDir, QObject* parent = nullptr);

    // The checks of ParamSetUpload::start come first and answer as there (the
    // ten-zeros rule still sends a read instead). Started: the read before
    // the upload runs; reported(), then done() follow.
    ParamSetUpload::Start start(DeviceLink* link, const QStringList& boxTexts,
                                QString* reason = nullptr);
    void setAskWithoutBackup(AskWithoutBackup ask) { askWithoutBackup_ = std::move(ask); }
    bool running() const { return stage_ != Stage::Idle; }
    BurnerDeviceRead& reader() { return reader_; }
    const WriteCheck& check() const { return check_; }
    QString backupPath() const { return backupPath_; }

  signals:
    void progress(int done, int total);
    // The upload's own message (ok: the success text, now with the verdict),
    // with the backup's line.
    void reported(bool ok, const QString& message);
    // The read-back disagreed: the text of the warning box.
    void mismatch(const QString& text);
    void logLine(const QString& text);
    // The sequence is over; the device's values as read back, when they were.
    void done(const std::optional<QStringList>& deviceTexts);

  private:
    enum class Stage { Idle, Before, Upload, After };
    void ReadFinished();
    void UploadFinished(bool ok, const QString& message);
    void Finish();

    ParamSetUpload& upload_;
    QString dataDir_;
    AskWithoutBackup askWithoutBackup_;
    BurnerDeviceRead reader_;
    QPointer<DeviceLink> link_;
    QStringList boxes_;
    WriteCheck check_;
    QString backupPath_;
    QString backupLine_;
    QString message_;
    bool ok_ = false;
    bool readBack_ = false;  // the read after the upload went out
    Stage stage_ = Stage::Idle;
};

// "Write" / "Write 16bit": read the old value, write as before, read back.
class SingleSafeWrite : public QObject {
    Q_OBJECT
  public:
    explicit SingleSafeWrite(QObject* parent = nullptr);
    // Nothing, or why nothing was sent (the same texts as a plain write).
    std::optional<QString> start(DeviceLink* link, const QString& addressText,
                                 const QString& valueText, bool word);
    void setAskWithoutBackup(AskWithoutBackup ask) { askWithoutBackup_ = std::move(ask); }
    bool running() const { return stage_ != 0; }
    BurnerDeviceRead& reader() { return reader_; }

  signals:
    void failed(const QString& text);
    void mismatch(const QString& text);
    void logLine(const QString& text);

  private:
    void ReadFinished();
    std::optional<QString> ReadValue() const;

    BurnerDeviceRead reader_;
    AskWithoutBackup askWithoutBackup_;
    QPointer<DeviceLink> link_;
    QString addressText_;
    QString valueText_;
    int32_t address_ = 0;
    bool word_ = false;
    WriteCheck check_;
    std::optional<QString> before_;
    int stage_ = 0;  // 1 reading before, 2 reading back
};

// "Send params" of the all-parameters window: read the checked rows, ask
// (the window does, with the diff), back up, send as before, read back. The
// grid is locked from the read before to the end of the read-back.
class AllParamsSafeSend : public QObject {
    Q_OBJECT
  public:
    AllParamsSafeSend(AllParamsModel& model, QString dataDir, QObject* parent = nullptr);
    // Reads the checked rows' bytes; readyToAsk() follows (at once when no
    // row is to be sent). Nothing starts, and the reason is returned, when
    // the link is not open or another exchange runs.
    std::optional<QString> ReadBefore(DeviceLink* link);
    // After the read: the link went away during it, or none of the rows
    // to be sent answered (no backup can be made).
    bool linkLost() const { return lost_; }
    bool nothingRead() const;
    // After a Yes: backup, the sends, then the read-back. Returns the rows
    // not sent, as AllParamsModel::SendChecked does.
    QStringList Write(DeviceLink& link);
    // After a No; why, when given, goes to the status and the log.
    void Cancel(const QString& why = {});
    bool running() const { return stage_ != 0; }
    const WriteCheck& check() const { return check_; }
    // The detail of the confirmation: the diff, or nothing when no row is checked.
    QString Detail() const { return check_.empty() ? QString() : check_.DiffText(); }
    BurnerDeviceRead& reader() { return reader_; }

  signals:
    void readyToAsk();
    void status(const QString& text);
    void mismatch(const QString& text);
    void logLine(const QString& text);

  private:
    void ReadFinished();
    void SetStage(int stage);
    // The backup of the rows that answered, and the line saying where it is.
    QString BackUpRead();

    AllParamsModel& model_;
    QString dataDir_;
    BurnerDeviceRead reader_;
    WriteCheck check_;
    std::vector<int32_t> addresses_;  // of check_'s fields
    std::vector<int> rows_;           // of check_'s fields
    bool lost_ = false;
    int stage_ = 0;  // 1 reading before, 2 asking, 3 reading back
};

}  // namespace tuvik
