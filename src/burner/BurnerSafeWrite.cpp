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
QString BackUp(const QString& path, const std::optional<QByteArray>& data,
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
    connect(&reader_, &BurnerDeviceRead::finished, this, &ParamSetSafeSend::ReadFinished);
    connect(&reader_, &BurnerDeviceRead::progress, this, [this] { emit progress(0, 0); });
    connect(&upload_, &ParamSetUpload::progress, this, &ParamSetSafeSend::progress);
    connect(&upload_, &ParamSetUpload::finished, this, &ParamSetSafeSend::UploadFinished);
}

ParamSetUpload::Start ParamSetSafeSend::start(DeviceLink* link, const QStringList& boxTexts,
                                              QString* reason) {
    auto refuse = [&](const QString& why) {
        if (reason) {
            *reason = why;
        }
        return ParamSetUpload::Start::Refused;
    };
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        return refuse(why);
    }
    if (running() || upload_.running() || !link || !link->PortOpen() ||
        ParamSetLooksUnread(boxTexts)) {
        // Refused, or the read instead of the upload, exactly as before.
        return upload_.start(link, boxTexts, reason);
    }
    auto built = ParamSetWriteCheck(boxTexts);
    if (const BadBox* bad = std::get_if<BadBox>(&built)) {
        return refuse(bad->message + QStringLiteral(" Nothing was sent."));
    }
    if (ExchangeGuard::Busy()) {
        return refuse(ExchangeGuard::BusyMessage());
    }
    check_ = std::get<WriteCheck>(std::move(built));
    boxes_ = boxTexts;
    link_ = link;
    backupPath_.clear();
    if (!reader_.Start(link, BurnerDeviceRead::What::ParamSet)) {
        return refuse(NotSentMessage());
    }
    stage_ = Stage::Before;
    return ParamSetUpload::Start::Started;
}

void ParamSetSafeSend::ReadFinished() {
    const std::optional<QStringList>& read = reader_.paramSet();
    if (stage_ == Stage::Before) {
        if (reader_.lost()) {
            message_ = ParamSetUpload::kFailText;
            ok_ = false;
            emit reported(false, message_);
            Finish();
            return;
        }
        if (!read && !Asked(askWithoutBackup_)) {
            emit logLine(NothingSentText());
            Finish();
            return;
        }
        if (read) {
            for (int i = 0; i < kParamBoxCount; ++i) {
                check_.SetDevice(i, read->at(i));
            }
        }
        backupPath_ = BackupPath(dataDir_, QStringLiteral("burner"), QStringLiteral("par"),
                                 QDateTime::currentDateTime());
        backupLine_ =
            BackUp(backupPath_, read ? std::optional<QByteArray>(ParamSetPar(*read)) : std::nullopt,
                   [this](const QString& l) { emit logLine(l); });
        if (!read) {
            backupPath_.clear();
        }
        stage_ = Stage::Upload;
        QString why;
        if (upload_.start(link_, boxes_, &why) != ParamSetUpload::Start::Started) {
            emit reported(false, why);
            Finish();
        }
        return;
    }
    if (stage_ != Stage::After) {
        return;
    }
    check_.ClearReadBack();
    if (read && readBack_) {
        for (int i = 0; i < kParamBoxCount; ++i) {
            check_.SetReadBack(i, read->at(i));
        }
    }
    if (ok_) {
        const bool verified = check_.Verified();
        emit reported(true, message_ +
                                (verified ? Paragraph(SafeWriteText::Verified()) : QString()) +
                                Paragraph(backupLine_));
        emit logLine(verified ? SafeWriteText::Verified() : MismatchLog(check_));
        if (!verified) {
            emit mismatch(SafeWriteText::Mismatch(check_.DifferencesText()));
        }
    } else if (read && readBack_ && !check_.Verified()) {
        // The failure was reported already; this shows what the burner holds now.
        emit logLine(MismatchLog(check_));
        emit mismatch(SafeWriteText::Mismatch(check_.DifferencesText()));
    }
    Finish();
}

void ParamSetSafeSend::UploadFinished(bool ok, const QString& message) {
    if (stage_ != Stage::Upload) {
        return;
    }
    ok_ = ok;
    message_ = message;
    if (!ok) {
        emit reported(false, message + Paragraph(backupLine_));
    }
    stage_ = Stage::After;
    readBack_ = reader_.Start(link_, BurnerDeviceRead::What::ParamSet);
    if (!readBack_) {
        // No read-back possible: judged as unanswered.
        ReadFinished();
    }
}

void ParamSetSafeSend::Finish() {
    const std::optional<QStringList> read =
        stage_ == Stage::After && readBack_ ? reader_.paramSet() : std::nullopt;
    readBack_ = false;
    stage_ = Stage::Idle;
    link_.clear();
    emit done(read);
}

// ---------------------------------------------------------------------------

SingleSafeWrite::SingleSafeWrite(QObject* parent) : QObject(parent) {
    connect(&reader_, &BurnerDeviceRead::finished, this, &SingleSafeWrite::ReadFinished);
}

std::optional<QString> SingleSafeWrite::start(DeviceLink* link, const QString& addressText,
                                              const QString& valueText, bool word) {
    // Checked in the order the plain write checks, with its texts.
    QString written;
    if (word) {
        const Checked<int16_t> v = WordValue(valueText);
        if (const QString* e = std::get_if<QString>(&v)) {
            return *e;
        }
        written = QString::number(std::get<int16_t>(v));
    } else {
        const Checked<uint8_t> v = ByteValue(valueText);
        if (const QString* e = std::get_if<QString>(&v)) {
            return *e;
        }
        written = QString::number(std::get<uint8_t>(v));
    }
    const Checked<int32_t> a = WriteAddress(addressText);
    if (const QString* e = std::get_if<QString>(&a)) {
        return *e;
    }
    if (running() || ExchangeGuard::Busy()) {
        return ExchangeGuard::BusyMessage();
    }
    address_ = std::get<int32_t>(a);
    word_ = word;
    addressText_ = addressText;
    valueText_ = valueText;
    link_ = link;
    before_.reset();
    check_ = WriteCheck();
    check_.Add(QStringLiteral("Address %1").arg(address_), written);
    const auto what = word ? BurnerDeviceRead::What::Word : BurnerDeviceRead::What::Bytes;
    if (!reader_.Start(link, what, {address_})) {
        // Not open: the plain write says so.
        return link ? (word ? WriteParam16(*link, addressText, valueText)
                            : WriteParam(*link, addressText, valueText))
                    : NotSentMessage();
    }
    stage_ = 1;
    return std::nullopt;
}

std::optional<QString> SingleSafeWrite::ReadValue() const {
    const std::optional<int32_t> v = reader_.value(address_);
    if (!v) {
        return std::nullopt;
    }
    return word_ ? WordText(*v) : QString::number(*v);
}

void SingleSafeWrite::ReadFinished() {
    if (stage_ == 1) {
        before_ = ReadValue();
        if (before_) {
            check_.SetDevice(0, *before_);
        }
        std::optional<QString> error;
        if (reader_.lost() || !link_) {
            error = NotSentMessage();
        } else if (!before_ && !Asked(askWithoutBackup_)) {
            // The old value, which the log keeps as the backup, is unknown.
            stage_ = 0;
            emit logLine(QStringLiteral("Parameter %1: ").arg(address_) + NothingSentText());
            return;
        } else {
            error = word_ ? WriteParam16(*link_, addressText_, valueText_)
                          : WriteParam(*link_, addressText_, valueText_);
        }
        if (error) {
            stage_ = 0;
            emit failed(*error);
            return;
        }
        stage_ = 2;
        const auto what = word_ ? BurnerDeviceRead::What::Word : BurnerDeviceRead::What::Bytes;
        if (reader_.Start(link_, what, {address_})) {
            return;
        }
        stage_ = 0;  // no read-back: judged as unanswered
    } else if (stage_ == 2) {
        stage_ = 0;
        if (const std::optional<QString> now = ReadValue()) {
            check_.SetReadBack(0, *now);
        }
    } else {
        return;
    }
    const WriteField& field = check_.fields()[0];
    emit logLine(SafeWriteText::SingleWriteLog(address_, before_, field.toWrite, field.readBack));
    if (!check_.Verified()) {
        emit logLine(MismatchLog(check_));
        emit mismatch(SafeWriteText::Mismatch(check_.DifferencesText()));
    }
}

// ---------------------------------------------------------------------------

AllParamsSafeSend::AllParamsSafeSend(AllParamsModel& model, QString dataDir, QObject* parent)
    : QObject(parent), model_(model), dataDir_(std::move(dataDir)) {
    connect(&reader_, &BurnerDeviceRead::finished, this, &AllParamsSafeSend::ReadFinished);
    connect(&reader_, &BurnerDeviceRead::progress, this, [this](int answered, int total) {
        emit status(
            QStringLiteral("Reading the device's values: %1 of %2").arg(answered).arg(total));
    });
}

std::optional<QString> AllParamsSafeSend::ReadBefore(DeviceLink* link) {
    if (running()) {
        return ExchangeGuard::BusyMessage();
    }
    if (!link || !link->PortOpen()) {
        return NotSentMessage();
    }
    check_ = WriteCheck();
    addresses_.clear();
    rows_.clear();
    lost_ = false;
    for (const AllParamsModel::Sendable& s : model_.SendableRows()) {
        check_.Add(s.field, QString::number(s.byte));
        addresses_.push_back(s.address);
        rows_.push_back(s.row);
    }
    if (addresses_.empty()) {
        SetStage(2);
        emit readyToAsk();
        return std::nullopt;
    }
    if (!reader_.Start(link, BurnerDeviceRead::What::Bytes, addresses_)) {
        return ExchangeGuard::Busy() ? ExchangeGuard::BusyMessage() : NotSentMessage();
    }
    SetStage(1);
    return std::nullopt;
}

bool AllParamsSafeSend::nothingRead() const {
    return std::none_of(check_.fields().begin(), check_.fields().end(),
                        [](const WriteField& f) { return f.device.has_value(); }) &&
           !check_.empty();
}

void AllParamsSafeSend::SetStage(int stage) {
    stage_ = stage;
    model_.setLocked(stage != 0);
}

void AllParamsSafeSend::ReadFinished() {
    if (stage_ == 1) {
        lost_ = reader_.lost();
        for (int i = 0; i < check_.size(); ++i) {
            if (const auto v = reader_.value(addresses_[static_cast<size_t>(i)])) {
                check_.SetDevice(i, QString::number(*v));
                model_.SetDeviceValue(addresses_[static_cast<size_t>(i)], *v);
            }
        }
        emit status(QString());
        SetStage(2);
        emit readyToAsk();
        return;
    }
    if (stage_ != 3) {
        return;
    }
    SetStage(0);
    check_.ClearReadBack();
    for (int i = 0; i < check_.size(); ++i) {
        if (const auto v = reader_.value(addresses_[static_cast<size_t>(i)])) {
            check_.SetReadBack(i, QString::number(*v));
            model_.SetDeviceValue(addresses_[static_cast<size_t>(i)], *v);
        }
    }
    if (check_.Verified()) {
        emit status(SafeWriteText::Verified());
        emit logLine(SafeWriteText::Verified());
    } else {
        emit status(SafeWriteText::MismatchTitle());
        emit logLine(MismatchLog(check_));
        emit mismatch(SafeWriteText::Mismatch(check_.DifferencesText()));
    }
}

void AllParamsSafeSend::Cancel(const QString& why) {
    SetStage(0);
    if (!why.isEmpty()) {
        emit status(why);
        emit logLine(why);
    }
}

QString AllParamsSafeSend::BackUpRead() {
    // The rows that answered are backed up; the others are named.
    QByteArray data;
    QStringList missing;
    for (int i = 0; i < check_.size(); ++i) {
        const WriteField& f = check_.fields()[static_cast<size_t>(i)];
        if (!f.device) {
            missing << f.name;
            continue;
        }
        const int row = rows_[static_cast<size_t>(i)];
        data += AllParamsModel::ParLine(model_.addressText(row), model_.name(row), *f.device)
                    .toLatin1() +
                "\r\n";
    }
    const QString path = BackupPath(dataDir_, QStringLiteral("allparams"), QStringLiteral("par"),
                                    QDateTime::currentDateTime());
    const auto log = [this](const QString& l) { emit logLine(l); };
    QString line = BackUp(path, data.isEmpty() ? std::nullopt : std::optional(data), log);
    if (!data.isEmpty() && !missing.isEmpty()) {
        const QString notRead = QStringLiteral("Not in the backup (the device did not answer): ") +
                                missing.join(QStringLiteral(", "));
        log(notRead);
        line += QLatin1Char('\n') + notRead;
    }
    return line;
}

QStringList AllParamsSafeSend::Write(DeviceLink& link) {
    if (!check_.empty()) {
        emit status(BackUpRead());
    }
    QStringList refused;
    for (const AllParamsModel::NotSent& n : model_.SendChecked(link)) {
        refused << n.reason;
    }
    SetStage(3);
    if (check_.empty() || !reader_.Start(&link, BurnerDeviceRead::What::Bytes, addresses_)) {
        SetStage(0);
    }
    return refused;
}

}  // namespace tuvik
