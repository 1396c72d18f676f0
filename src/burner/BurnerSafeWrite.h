#pragma once
// Safe writes of the burner windows, each a description for SafeWrite: the
// device's values are read before a write (BurnerDeviceRead), saved as a
// *.par backup before the first write byte, and read back after it to tell
// whether the burner holds what was sent. The writes themselves go out
// exactly as they always have (ParamSetUpload, the single-parameter
// requests, AllParamsModel::SendChecked).

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
#include "support/SafeWrite.h"
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
class ParamSetSafeSend : public QObject, private SafeWriteFlow {
    Q_OBJECT
  public:
    ParamSetSafeSend(ParamSetUpload& upload, QString dataDir, QObject* parent = nullptr);

    // The checks of ParamSetUpload::start come first and answer as there (the
    // ten-zeros rule still sends a read instead). Started: the read before
    // the upload runs; reported(), then done() follow.
    ParamSetUpload::Start start(DeviceLink* link, const QStringList& boxTexts,
                                QString* reason = nullptr);
    void setAskWithoutBackup(AskWithoutBackup ask) { askWithoutBackup_ = std::move(ask); }
    bool running() const { return safe_.running(); }
    BurnerDeviceRead& reader() { return reader_; }
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
    // SafeWriteFlow
    std::optional<QString> Check(WriteCheck& check) override;
    bool Prepare(WriteCheck& check) override;
    bool StartRead(bool readBack) override;
    std::optional<QString> NotRead() override;
    void TakeRead(WriteCheck& check, bool readBack) override;
    void Ask(const WriteCheck& check) override;
    bool BackUp(const WriteCheck& check) override;
    void Write() override;
    void Judge(const WriteCheck& check, bool readBack) override;
    void Ended(SafeWrite::Outcome outcome) override;

    void UploadFinished(bool ok, const QString& message);

    struct Request {
        QPointer<DeviceLink> link;
        QStringList boxes;
    };
    ParamSetUpload& upload_;
    QString dataDir_;
    AskWithoutBackup askWithoutBackup_;
    BurnerDeviceRead reader_;
    SafeWrite safe_{*this};
    // A start() while a write runs is checked without touching the running one.
    Request next_;  // as start() was called
    Request req_;   // of the running write
    // How start() answers when the checks of the upload answered instead.
    std::optional<ParamSetUpload::Start> instead_;
    QString backupPath_;
    QString backupLine_;
    QString message_;
    bool ok_ = false;
    bool readBack_ = false;  // the read after the upload went out
};

// "Write" / "Write 16bit": read the old value, write as before, read back.
class SingleSafeWrite : public QObject, private SafeWriteFlow {
    Q_OBJECT
  public:
    explicit SingleSafeWrite(QObject* parent = nullptr);
    // Nothing, or why nothing was sent (the same texts as a plain write).
    std::optional<QString> start(DeviceLink* link, const QString& addressText,
                                 const QString& valueText, bool word);
    void setAskWithoutBackup(AskWithoutBackup ask) { askWithoutBackup_ = std::move(ask); }
    bool running() const { return safe_.running(); }
    BurnerDeviceRead& reader() { return reader_; }

  signals:
    void failed(const QString& text);
    void mismatch(const QString& text);
    void logLine(const QString& text);

  private:
    // SafeWriteFlow
    std::optional<QString> Check(WriteCheck& check) override;
    bool Prepare(WriteCheck& check) override;
    bool StartRead(bool readBack) override;
    std::optional<QString> NotRead() override;
    void TakeRead(WriteCheck& check, bool readBack) override;
    void Ask(const WriteCheck& check) override;
    bool BackUp(const WriteCheck&) override { return true; }  // the log keeps the old value
    void Write() override;
    void Judge(const WriteCheck& check, bool readBack) override;

    std::optional<QString> ReadValue() const;

    struct Request {
        QPointer<DeviceLink> link;
        QString addressText;
        QString valueText;
        bool word = false;
        int32_t address = 0;
    };
    static std::optional<QString> PlainWrite(const Request& r);
    BurnerDeviceRead reader_;
    AskWithoutBackup askWithoutBackup_;
    SafeWrite safe_{*this};
    // A start() while a write runs is checked without touching the running one.
    Request next_;  // as start() was called
    Request req_;   // of the running write
    std::optional<QString> before_;
};

// "Send params" of the all-parameters window: read the checked rows, ask
// (the window does, with the diff), back up, send as before, read back. The
// grid is locked from the read before to the end of the read-back.
class AllParamsSafeSend : public QObject, private SafeWriteFlow {
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
    bool running() const { return safe_.running(); }
    // The detail of the confirmation: the diff, or nothing when no row is checked.
    QString Detail() const;
    BurnerDeviceRead& reader() { return reader_; }

  signals:
    void readyToAsk();
    void status(const QString& text);
    void mismatch(const QString& text);
    void logLine(const QString& text);

  private:
    // SafeWriteFlow
    std::optional<QString> Check(WriteCheck& check) override;
    bool TakesTurn(const WriteCheck& check) const override { return !check.empty(); }
    bool Prepare(WriteCheck& check) override;
    bool StartRead(bool readBack) override;
    std::optional<QString> NotRead() override;
    void TakeRead(WriteCheck& check, bool readBack) override;
    void Ask(const WriteCheck&) override { emit readyToAsk(); }
    bool BackUp(const WriteCheck& check) override;
    void Write() override;
    void Judge(const WriteCheck& check, bool readBack) override;
    void Ended(SafeWrite::Outcome) override;

    // The backup of the rows that answered, and the line saying where it is.
    QString BackUpRead(const WriteCheck& check);

    AllParamsModel& model_;
    QString dataDir_;
    BurnerDeviceRead reader_;
    SafeWrite safe_{*this};
    struct Request {
        DeviceLink* link = nullptr;
        std::vector<int32_t> addresses;  // of the check's fields
        std::vector<int> rows;           // of the check's fields
    };
    Request next_;         // as ReadBefore() was called
    Request req_;          // of the running send
    QStringList refused_;  // the rows the last send did not carry
    bool lost_ = false;
};

}  // namespace tuvik
