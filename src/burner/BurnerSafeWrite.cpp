#include "burner/BurnerSafeWrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <functional>

#include "burner/AllParamsModel.h"
#include "burner/ParFile.h"
#include "burner/ParamTable.h"
#include "burner/SingleParam.h"
#include "link/DeviceLink.h"
#include "support/CappedRead.h"

namespace tuvik {

namespace {

QString Paragraph(const QString& text) {
    return QStringLiteral("\n\n") + text;
}

// Backs the device's values up and says so in the log; the line for the
// result message.
QString BackUpAndLog(const QString& path, const std::optional<QByteArray>& data,
                     const std::function<void(const QString&)>& log) {
    QString line;
    if (!data) {
        line = SafeWriteText::BackupFailed(SafeWriteText::NotRead());
    } else if (const auto error = SaveBackup(path, *data)) {
        line = SafeWriteText::BackupFailed(*error);
    } else {
        line = SafeWriteText::BackupSaved(path);
    }
    log(line);
    return line;
}

bool Asked(const AskWithoutBackup& ask) {
    return ask && ask();
}

QString MismatchLog(const WriteCheck& check) {
    return SafeWriteText::MismatchTitle() + QStringLiteral(": ") +
           check.DifferencesText().replace(QLatin1Char('\n'), QStringLiteral("; "));
}

}  // namespace

std::optional<QString> EditedMark(const QString& shown, const std::optional<QString>& device) {
    if (!device || SameDeviceValue(shown, *device)) {
        return std::nullopt;
    }
    return QStringLiteral("In the device: ") + *device;
}

std::variant<WriteCheck, BadBox> ParamSetWriteCheck(const QStringList& boxTexts) {
    // The bytes the upload sends, laid out as in the burner's memory and
    // decoded as a read would decode them.
    std::array<uint8_t, 36> memory{};
    for (int b = 0; b < kUploadBlockCount; ++b) {
        auto built = BuildUploadBlock(b, boxTexts);
        if (const BadBox* bad = std::get_if<BadBox>(&built)) {
            return *bad;
        }
        const UploadBlock& block = std::get<UploadBlock>(built);
        std::copy(block.bytes.begin(), block.bytes.end(), memory.begin() + block.address);
    }
    QStringList sent;
    ApplyParamSet(memory, sent);
    WriteCheck check;
    for (int i = 0; i < kParamBoxCount; ++i) {
        check.Add(ParamBoxes()[i].label, sent.at(i));
    }
    return check;
}

QByteArray ParamSetPar(const QStringList& boxTexts) {
    QByteArray out;
    for (int i = 0; i < kParamBoxCount && i < boxTexts.size(); ++i) {
        const ParamBoxDef& def = ParamBoxes()[i];
        // A *.par name is one word in a 50-character field, so the value
        // stands at column 71 as in every other *.par file.
        QString label = def.label;
        label.replace(QLatin1Char(' '), QLatin1Char('_'));
        label = label.leftJustified(kParamNameWidth, QLatin1Char(' '), true);
        out += AllParamsModel::ParLine(QString::number(def.address), label, boxTexts.at(i))
                   .toLatin1() +
               "\r\n";
    }
    return out;
}

int LoadParamSetPar(const QByteArray& bytes, QStringList& boxTexts) {
    while (boxTexts.size() < kParamBoxCount) {
        boxTexts.append(QString::fromLatin1(kUnreadBoxText));
    }
    std::array<bool, kParamBoxCount> filled{};
    for (const ParFields& f : ReadParData(bytes).lines) {
        for (int i = 0; i < kParamBoxCount; ++i) {
            if (ParamBoxes()[i].address == f.address) {
                boxTexts[i] = QString::number(f.value);
                filled[static_cast<size_t>(i)] = true;
            }
        }
    }
    return static_cast<int>(std::count(filled.begin(), filled.end(), true));
}

std::optional<QStringList> LoadParamSetParFile(const QString& path, QStringList boxTexts) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const std::optional<QByteArray> bytes = ReadAtMost(file, AllParamsModel::kMaxParFileBytes);
    if (!bytes || LoadParamSetPar(*bytes, boxTexts) == 0) {
        return std::nullopt;
    }
    return boxTexts;
}

std::optional<QString> SaveBackup(const QString& path, const QByteArray& data) {
    if (auto why = MakeBackupFolder(path)) {
        return why;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

QString WordText(int32_t raw) {
    return QString::number(static_cast<int16_t>(static_cast<uint16_t>(raw)));
}

QString NothingSentText() {
    return SafeWriteText::NotRead() + QStringLiteral(" Nothing was sent.");
}

// ---------------------------------------------------------------------------

ParamSetSafeSend::ParamSetSafeSend(ParamSetUpload& upload, QString dataDir, QObject* parent)
    : QObject(parent), upload_(upload), dataDir_(std::move(dataDir)) {
    connect(&reader_, &BurnerDeviceRead::finished, this, [this] { safe_.ReadEnded(); });
    connect(&reader_, &BurnerDeviceRead::progress, this, [this] { emit progress(0, 0); });
    connect(&upload_, &ParamSetUpload::progress, this, &ParamSetSafeSend::progress);
    connect(&upload_, &ParamSetUpload::finished, this, &ParamSetSafeSend::UploadFinished);
}

ParamSetUpload::Start ParamSetSafeSend::start(DeviceLink* link, const QStringList& boxTexts,
                                              QString* reason) {
    next_ = {link, boxTexts};
    instead_.reset();
    const std::optional<QString> why = safe_.Start();
    if (!why) {
        return ParamSetUpload::Start::Started;
    }
    const ParamSetUpload::Start start = instead_.value_or(ParamSetUpload::Start::Refused);
    if (reason && start == ParamSetUpload::Start::Refused) {
        *reason = *why;
    }
    return start;
}

std::optional<QString> ParamSetSafeSend::Check(WriteCheck& check) {
    if (running() || upload_.running() || !next_.link || !next_.link->PortOpen() ||
        ParamSetLooksUnread(next_.boxes)) {
        // Refused, or the read instead of the upload, exactly as before.
        QString why;
        instead_ = upload_.start(next_.link, next_.boxes, &why);
        return why;
    }
    auto built = ParamSetWriteCheck(next_.boxes);
    if (const BadBox* bad = std::get_if<BadBox>(&built)) {
        return bad->message + QStringLiteral(" Nothing was sent.");
    }
    check = std::get<WriteCheck>(std::move(built));
    return std::nullopt;
}

bool ParamSetSafeSend::Prepare(WriteCheck&) {
    req_ = next_;
    backupPath_.clear();
    return true;
}

bool ParamSetSafeSend::StartRead(bool readBack) {
    const bool started = reader_.Start(req_.link, BurnerDeviceRead::What::ParamSet);
    readBack_ = readBack && started;
    return started;
}

std::optional<QString> ParamSetSafeSend::NotRead() {
    return NotSentMessage();
}

void ParamSetSafeSend::TakeRead(WriteCheck& check, bool readBack) {
    if (const std::optional<QStringList>& read = reader_.paramSet()) {
        for (int i = 0; i < kParamBoxCount; ++i) {
            readBack ? check.SetReadBack(i, read->at(i)) : check.SetDevice(i, read->at(i));
        }
    }
}

void ParamSetSafeSend::Ask(const WriteCheck&) {
    if (reader_.lost()) {
        message_ = ParamSetUpload::kFailText;
        ok_ = false;
        emit reported(false, message_);
        safe_.Confirmed(false);
    } else if (!reader_.paramSet() && !Asked(askWithoutBackup_)) {
        emit logLine(NothingSentText());
        safe_.Confirmed(false);
    } else {
        safe_.Confirmed(true);
    }
}

bool ParamSetSafeSend::BackUp(const WriteCheck&) {
    const std::optional<QStringList>& read = reader_.paramSet();
    backupPath_ = BackupPath(dataDir_, QStringLiteral("burner"), QStringLiteral("par"),
                             QDateTime::currentDateTime());
    backupLine_ = BackUpAndLog(backupPath_,
                               read ? std::optional<QByteArray>(ParamSetPar(*read)) : std::nullopt,
                               [this](const QString& l) { emit logLine(l); });
    if (!read) {
        backupPath_.clear();
    }
    return true;
}

void ParamSetSafeSend::Write() {
    QString why;
    if (upload_.start(req_.link, req_.boxes, &why) != ParamSetUpload::Start::Started) {
        emit reported(false, why);
        safe_.WriteEnded(SafeWrite::Outcome::NotSent);
    }
}

void ParamSetSafeSend::UploadFinished(bool ok, const QString& message) {
    if (!safe_.writing()) {
        return;
    }
    ok_ = ok;
    message_ = message;
    if (!ok) {
        emit reported(false, message + Paragraph(backupLine_));
    }
    safe_.WriteEnded(ok ? SafeWrite::Outcome::Sent : SafeWrite::Outcome::NotAcknowledged);
}

void ParamSetSafeSend::Judge(const WriteCheck& check, bool readBack) {
    if (ok_) {
        const bool verified = check.Verified();
        emit reported(true, message_ +
                                (verified ? Paragraph(SafeWriteText::Verified()) : QString()) +
                                Paragraph(backupLine_));
        emit logLine(verified ? SafeWriteText::Verified() : MismatchLog(check));
        if (!verified) {
            emit mismatch(SafeWriteText::Mismatch(check.DifferencesText()));
        }
    } else if (readBack && reader_.paramSet() && !check.Verified()) {
        // The failure was reported already; this shows what the burner holds now.
        emit logLine(MismatchLog(check));
        emit mismatch(SafeWriteText::Mismatch(check.DifferencesText()));
    }
}

void ParamSetSafeSend::Ended(SafeWrite::Outcome) {
    const std::optional<QStringList> read = readBack_ ? reader_.paramSet() : std::nullopt;
    readBack_ = false;
    req_ = {};
    emit done(read);
}

// ---------------------------------------------------------------------------

SingleSafeWrite::SingleSafeWrite(QObject* parent) : QObject(parent) {
    connect(&reader_, &BurnerDeviceRead::finished, this, [this] { safe_.ReadEnded(); });
}

std::optional<QString> SingleSafeWrite::start(DeviceLink* link, const QString& addressText,
                                              const QString& valueText, bool word) {
    next_ = {link, addressText, valueText, word, 0};
    const std::optional<QString> why = safe_.Start();
    // A plain write in its place that went out has nothing to say.
    return why && why->isEmpty() ? std::nullopt : why;
}

std::optional<QString> SingleSafeWrite::Check(WriteCheck& check) {
    // Checked in the order the plain write checks, with its texts.
    QString written;
    if (next_.word) {
        const Checked<int16_t> v = WordValue(next_.valueText);
        if (const QString* e = std::get_if<QString>(&v)) {
            return *e;
        }
        written = QString::number(std::get<int16_t>(v));
    } else {
        const Checked<uint8_t> v = ByteValue(next_.valueText);
        if (const QString* e = std::get_if<QString>(&v)) {
            return *e;
        }
        written = QString::number(std::get<uint8_t>(v));
    }
    const Checked<int32_t> a = WriteAddress(next_.addressText);
    if (const QString* e = std::get_if<QString>(&a)) {
        return *e;
    }
    next_.address = std::get<int32_t>(a);
    check.Add(QStringLiteral("Address %1").arg(next_.address), written);
    return std::nullopt;
}

bool SingleSafeWrite::Prepare(WriteCheck&) {
    req_ = next_;
    before_.reset();
    return true;
}

bool SingleSafeWrite::StartRead(bool) {
    const auto what = req_.word ? BurnerDeviceRead::What::Word : BurnerDeviceRead::What::Bytes;
    return reader_.Start(req_.link, what, {req_.address});
}

std::optional<QString> SingleSafeWrite::NotRead() {
    // Not open: the plain write says so.
    return req_.link ? PlainWrite(req_).value_or(QString()) : NotSentMessage();
}

std::optional<QString> SingleSafeWrite::PlainWrite(const Request& r) {
    return r.word ? WriteParam16(*r.link, r.addressText, r.valueText)
                  : WriteParam(*r.link, r.addressText, r.valueText);
}

std::optional<QString> SingleSafeWrite::ReadValue() const {
    const std::optional<int32_t> v = reader_.value(req_.address);
    if (!v) {
        return std::nullopt;
    }
    return req_.word ? WordText(*v) : QString::number(*v);
}

void SingleSafeWrite::TakeRead(WriteCheck& check, bool readBack) {
    const std::optional<QString> value = ReadValue();
    if (!readBack) {
        before_ = value;
    }
    if (value) {
        readBack ? check.SetReadBack(0, *value) : check.SetDevice(0, *value);
    }
}

void SingleSafeWrite::Ask(const WriteCheck&) {
    if (reader_.lost() || !req_.link) {
        safe_.Confirmed(false);
        emit failed(NotSentMessage());
    } else if (!before_ && !Asked(askWithoutBackup_)) {
        // The old value, which the log keeps as the backup, is unknown.
        safe_.Confirmed(false);
        emit logLine(QStringLiteral("Parameter %1: ").arg(req_.address) + NothingSentText());
    } else {
        safe_.Confirmed(true);
    }
}

void SingleSafeWrite::Write() {
    if (const std::optional<QString> error = PlainWrite(req_)) {
        safe_.WriteEnded(SafeWrite::Outcome::NotSent);
        emit failed(*error);
        return;
    }
    safe_.WriteEnded(SafeWrite::Outcome::Sent);
}

void SingleSafeWrite::Judge(const WriteCheck& check, bool) {
    const WriteField& field = check.fields()[0];
    emit logLine(
        SafeWriteText::SingleWriteLog(req_.address, before_, field.toWrite, field.readBack));
    if (!check.Verified()) {
        emit logLine(MismatchLog(check));
        emit mismatch(SafeWriteText::Mismatch(check.DifferencesText()));
    }
}

// ---------------------------------------------------------------------------

AllParamsSafeSend::AllParamsSafeSend(AllParamsModel& model, QString dataDir, QObject* parent)
    : QObject(parent), model_(model), dataDir_(std::move(dataDir)) {
    connect(&reader_, &BurnerDeviceRead::finished, this, [this] { safe_.ReadEnded(); });
    connect(&reader_, &BurnerDeviceRead::progress, this, [this](int answered, int total) {
        emit status(
            QStringLiteral("Reading the device's values: %1 of %2").arg(answered).arg(total));
    });
}

std::optional<QString> AllParamsSafeSend::ReadBefore(DeviceLink* link) {
    next_ = {link, {}, {}};
    return safe_.Start();
}

std::optional<QString> AllParamsSafeSend::Check(WriteCheck& check) {
    if (!next_.link || !next_.link->PortOpen()) {
        return NotSentMessage();
    }
    for (const AllParamsModel::Sendable& s : model_.SendableRows()) {
        check.Add(s.field, QString::number(s.byte));
        next_.addresses.push_back(s.address);
        next_.rows.push_back(s.row);
    }
    return std::nullopt;
}

bool AllParamsSafeSend::Prepare(WriteCheck&) {
    req_ = std::move(next_);
    lost_ = false;
    return true;
}

bool AllParamsSafeSend::StartRead(bool readBack) {
    const bool none = req_.addresses.empty();
    if (readBack) {
        return !none && reader_.Start(req_.link, BurnerDeviceRead::What::Bytes, req_.addresses);
    }
    // From the read before to the end of the read-back nothing moves the rows sent.
    const bool locked =
        none || reader_.Start(req_.link, BurnerDeviceRead::What::Bytes, req_.addresses);
    model_.setLocked(locked);
    return !none && locked;
}

std::optional<QString> AllParamsSafeSend::NotRead() {
    if (req_.addresses.empty()) {
        return std::nullopt;  // nothing to read: straight to the question
    }
    return NotSentMessage();
}

void AllParamsSafeSend::TakeRead(WriteCheck& check, bool readBack) {
    if (readBack) {
        model_.setLocked(false);
    } else {
        lost_ = reader_.lost();
    }
    for (int i = 0; i < check.size(); ++i) {
        const int32_t address = req_.addresses[static_cast<size_t>(i)];
        if (const auto v = reader_.value(address)) {
            readBack ? check.SetReadBack(i, QString::number(*v))
                     : check.SetDevice(i, QString::number(*v));
            model_.SetDeviceValue(address, *v);
        }
    }
    if (!readBack) {
        emit status(QString());
    }
}

bool AllParamsSafeSend::nothingRead() const {
    const WriteCheck& check = safe_.check();
    return std::none_of(check.fields().begin(), check.fields().end(),
                        [](const WriteField& f) { return f.device.has_value(); }) &&
           !check.empty();
}

QString AllParamsSafeSend::Detail() const {
    return safe_.check().empty() ? QString() : safe_.check().DiffText();
}

void AllParamsSafeSend::Cancel(const QString& why) {
    safe_.Confirmed(false);
    if (!why.isEmpty()) {
        emit status(why);
        emit logLine(why);
    }
}

QStringList AllParamsSafeSend::Write(DeviceLink& link) {
    req_.link = &link;
    refused_.clear();
    safe_.Confirmed(true);
    return refused_;
}

bool AllParamsSafeSend::BackUp(const WriteCheck& check) {
    if (!check.empty()) {
        emit status(BackUpRead(check));
    }
    return true;
}

void AllParamsSafeSend::Write() {
    for (const AllParamsModel::NotSent& n : model_.SendChecked(*req_.link)) {
        refused_ << n.reason;
    }
    safe_.WriteEnded(SafeWrite::Outcome::Sent);
}

void AllParamsSafeSend::Judge(const WriteCheck& check, bool readBack) {
    if (!readBack) {
        return;
    }
    if (check.Verified()) {
        emit status(SafeWriteText::Verified());
        emit logLine(SafeWriteText::Verified());
    } else {
        emit status(SafeWriteText::MismatchTitle());
        emit logLine(MismatchLog(check));
        emit mismatch(SafeWriteText::Mismatch(check.DifferencesText()));
    }
}

void AllParamsSafeSend::Ended(SafeWrite::Outcome) {
    model_.setLocked(false);
}

QString AllParamsSafeSend::BackUpRead(const WriteCheck& check) {
    // The rows that answered are backed up; the others are named.
    QByteArray data;
    QStringList missing;
    for (int i = 0; i < check.size(); ++i) {
        const WriteField& f = check.fields()[static_cast<size_t>(i)];
        if (!f.device) {
            missing << f.name;
            continue;
        }
        const int row = req_.rows[static_cast<size_t>(i)];
        data += AllParamsModel::ParLine(model_.addressText(row), model_.name(row), *f.device)
                    .toLatin1() +
                "\r\n";
    }
    const QString path = BackupPath(dataDir_, QStringLiteral("allparams"), QStringLiteral("par"),
                                    QDateTime::currentDateTime());
    const auto log = [this](const QString& l) { emit logLine(l); };
    QString line = BackUpAndLog(path, data.isEmpty() ? std::nullopt : std::optional(data), log);
    if (!data.isEmpty() && !missing.isEmpty()) {
        const QString notRead = QStringLiteral("Not in the backup (the device did not answer): ") +
                                missing.join(QStringLiteral(", "));
        log(notRead);
        line += QLatin1Char('\n') + notRead;
    }
    return line;
}

}  // namespace tuvik
