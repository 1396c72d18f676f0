// The burner's safe writes against the simulator over both links, as one
// table of write path x device behaviour, clicked in turn in the running
// program: the diff against the device's values, the backup on disk before
// the first write request reaches the device (or the question when none can
// be made), and the verdict of the read-back.
#include <gtest/gtest.h>

#include <QDir>

#include <functional>

#include "E2E.h"
#include "burner/AllParamsModel.h"
#include "burner/BurnerSafeWrite.h"
#include "burner/ParamSet.h"
#include "burner/ui/frmAllParams.h"

using namespace tuvik;
using namespace tuvik::test;
using sim::Fault;

namespace {

enum class Path { SendValues, AllParams, Write, Write16 };
enum class Case {
    Applied,   // the device stores what it acknowledges
    Forget,    // acknowledges, stores nothing
    NoAnswer,  // the read before the write is not answered
    Declined,  // so, and the operator will not write without a backup
};
const char* const kPathNames[] = {"SendValues", "AllParams", "Write", "Write16"};
const char* const kCaseNames[] = {"Applied", "Forget", "NoAnswer", "Declined"};

QString Diff(const QString& name, int sent, int now) {
    return QStringLiteral("%1: sent %2, now in the device %3").arg(name).arg(sent).arg(now);
}

class SafeWriteE2E : public ProgramE2E {
  protected:
    std::vector<BurnerDeviceRead*> Readers() {
        return {&burner->safeSend().reader(), &burner->singleWrite().reader(),
                &all->safeSend().reader()};
    }
    // A row starts with nothing shown, logged or backed up, and no fault set.
    void StartRow(Path p, Case c) {
        path = p;
        kase = c;
        armed = wrote = false;
        backupAtFirstWrite.clear();
        sim->faults().ClearAll();
        dialogs.clear();
        session->log().Clear();
        QDir(backups).removeRecursively();
        // Long enough for an answer over a loaded machine, short for the
        // read that is never answered.
        for (BurnerDeviceRead* r : Readers()) {
            r->setTimeoutMs(unanswered() ? 400 : 5000);
        }
    }
    void Observe(uint8_t cmd) {
        const uint8_t readCmd = path == Path::SendValues ? Cmd::ReadParamSet
                                : path == Path::Write16  ? Cmd::ReadWord
                                                         : Cmd::ReadByte;
        if (!armed || wrote) {
            return;
        }
        if (cmd == Cmd::MemWrite) {
            wrote = true;
            // Only the read before the write goes unanswered.
            for (BurnerDeviceRead* r : Readers()) {
                r->setTimeoutMs(5000);
            }
            backupAtFirstWrite = BackupText();
            const auto memory = sim->device().BurnerMemory();
            memoryAtFirstWrite.assign(memory.begin(), memory.end());
        } else if (cmd == readCmd && unanswered()) {
            sim->faults().SetNext(Fault::DropReply, 1);
        }
    }
    void Arm() {
        armed = true;
        dialogs.answerYes = kase != Case::Declined;
        if (kase == Case::Forget) {
            sim->faults().SetProbability(Fault::ForgetWrite, 1.0);
        }
    }
    bool unanswered() const { return kase == Case::NoAnswer || kase == Case::Declined; }

    QByteArray BackupText() const {
        const QStringList files = QDir(backups).entryList({QStringLiteral("*.par")}, QDir::Files);
        return files.size() == 1 ? ReadFile(QDir(backups).filePath(files[0])) : QByteArray();
    }
    // Signed words; addresses as the device takes them (-5 is 65531).
    int SWord(int a) { return static_cast<int16_t>(Word(a)); }
    int Before(int a, bool word) const {
        const int lo = memoryAtFirstWrite.at(static_cast<uint16_t>(a));
        return word ? static_cast<int16_t>(lo | (memoryAtFirstWrite.at(a + 1) << 8)) : lo;
    }
    // The parameter set's box texts as the device holds them, now or at the first write.
    QStringList DeviceBoxes(bool atWrite) {
        QStringList out;
        for (const ParamBoxDef& d : ParamBoxes()) {
            const bool word = d.width == 16;
            out << QString::number(atWrite ? Before(d.address, word)
                                   : word  ? SWord(d.address)
                                           : Byte(d.address));
        }
        return out;
    }
    // What the device holds after a write of `sent` at a under this case.
    int Stored(int a, int sent, bool word) const {
        return kase == Case::Forget ? Before(a, word) : sent;
    }
    QString Log() const { return session->log().logText(); }
    // The warning boxes shown, as their texts.
    QStringList Mismatches() const {
        QStringList out;
        for (const auto& m : dialogs.messages) {
            if (m.title == SafeWriteText::MismatchTitle()) {
                out << m.text;
            }
        }
        return out;
    }
    // After the send: whether the write went ahead. Without a backup the
    // operator is asked first; declined, nothing is written and the log says so.
    bool WentAhead() {
        EXPECT_EQ(dialogs.questions.filter("|" + SafeWriteText::WriteWithoutBackup()).size(),
                  unanswered() ? 1 : 0);
        if (kase == Case::Declined) {
            EXPECT_TRUE(Log().contains(NothingSentText())) << Log().toStdString();
            EXPECT_TRUE(BackupText().isEmpty());
        }
        EXPECT_EQ(wrote, kase != Case::Declined);
        return wrote;
    }
    // The verdict every path must reach: verified exactly when nothing
    // differs (said in `where`, for the paths that say it), otherwise the
    // warning with exactly the differing fields.
    void ExpectVerdict(const QStringList& differences, std::optional<QString> where) {
        if (differences.isEmpty()) {
            EXPECT_TRUE(Mismatches().isEmpty()) << Mismatches().join('|').toStdString();
            EXPECT_TRUE(!where || where->contains(SafeWriteText::Verified()));
        } else {
            EXPECT_EQ(Mismatches(),
                      QStringList{SafeWriteText::Mismatch(differences.join(QLatin1Char('\n')))});
            EXPECT_TRUE(!where || !where->contains(SafeWriteText::Verified()));
            EXPECT_TRUE(Log().contains(SafeWriteText::MismatchTitle()));
        }
    }
    bool Done(const std::function<bool()>& running) {
        return WaitUntil([&] { return !running(); }, std::chrono::seconds(30));
    }

    void SendValues();
    void AllParams();
    void SingleWrite(bool word);

    Path path{};
    Case kase{};
    frmAllParams* all = nullptr;
    QString backups;
    bool armed = false;
    bool wrote = false;
    QByteArray backupAtFirstWrite;
    std::vector<uint8_t> memoryAtFirstWrite;
};

void SafeWriteE2E::SendValues() {
    const bool read = !unanswered();
    const auto& defs = ParamBoxes();
    auto box = [&](int i) { return Edit(QStringLiteral("txtFlamoraParams_%1").arg(i)); };
    // The boxes as read; two of them edited and marked.
    Click(burner, "btnGetvalues");
    ASSERT_TRUE(WaitUntil([&] { return burner->ParamBoxTexts() == DeviceBoxes(false); }));
    const int sent0 = SWord(4) + 1;
    box(0)->setText(QString::number(sent0));
    box(10)->setText(QString::number((Byte(24) + 1) % 256));
    EXPECT_EQ(box(0)->palette().color(QPalette::Base), EditedMarkColour());
    EXPECT_TRUE(box(0)->toolTip().endsWith(QStringLiteral("In the device: %1").arg(SWord(4))));
    const QStringList sentBoxes = burner->ParamBoxTexts();

    Arm();
    Click(burner, "btnSendValues");
    ASSERT_TRUE(Done([&] { return burner->safeSend().running(); }));
    if (!WentAhead()) {
        return;
    }
    QStringList differences;
    const QStringList device = DeviceBoxes(false);
    for (int i = 0; i < kParamBoxCount; ++i) {
        const int sent = sentBoxes[i].toInt();
        const int now = Stored(defs[i].address, sent, defs[i].width == 16);
        EXPECT_EQ(device[i], QString::number(now)) << i;
        if (now != sent) {
            differences << Diff(defs[i].label, sent, now);
        }
    }
    const QString result = dialogs.messages.value(0).text;
    EXPECT_TRUE(result.startsWith(ParamSetUpload::kOkText)) << result.toStdString();
    ExpectVerdict(differences, result);
    // After the read-back the marks follow the device.
    EXPECT_EQ(box(0)->palette().color(QPalette::Base) == EditedMarkColour(), SWord(4) != sent0);
    if (!read) {
        EXPECT_TRUE(backupAtFirstWrite.isEmpty());
        EXPECT_TRUE(result.endsWith(SafeWriteText::BackupFailed(SafeWriteText::NotRead())));
        return;
    }
    const QStringList atWrite = DeviceBoxes(true);
    QStringList loaded;
    EXPECT_EQ(LoadParamSetPar(backupAtFirstWrite, loaded), kParamBoxCount);
    EXPECT_EQ(loaded, atWrite);
    EXPECT_TRUE(result.endsWith(SafeWriteText::BackupSaved(burner->safeSend().backupPath())));
    // Load backup fills the boxes with what was overwritten; nothing is written.
    const uint64_t writes = sim->device().stats().writes;
    dialogs.files = {burner->safeSend().backupPath()};
    Click(burner, "btnLoadBackup");
    EXPECT_EQ(burner->ParamBoxTexts(), atWrite);
    ASSERT_TRUE(RoundTrip());
    EXPECT_EQ(sim->device().stats().writes, writes);
}

void SafeWriteE2E::AllParams() {
    const bool read = !unanswered();
    AllParamsModel& m = all->model();
    std::vector<int> rows;
    for (int r = 0; r < m.rows() && rows.size() < 3; ++r) {
        if (m.addressText(r).toInt() >= 40) {
            rows.push_back(r);
        }
    }
    ASSERT_EQ(rows.size(), 3u);
    WriteCheck expected;
    std::vector<int> sent;
    for (size_t k = 0; k < rows.size(); ++k) {
        const int a = m.addressText(rows[k]).toInt();
        sent.push_back(k == 1 ? Byte(a) : (Byte(a) + 1 + k) % 256);
        m.setChecked(rows[k], true);
        m.setValueText(rows[k], QString::number(sent[k]));
        expected.Add(m.addressText(rows[k]) + ' ' + m.name(rows[k]).trimmed(),
                     QString::number(sent[k]));
        if (read) {
            expected.SetDevice(static_cast<int>(k), QString::number(Byte(a)));
        }
    }
    Arm();
    Click(all, "Command3");
    ASSERT_TRUE(Done([&] { return all->safeSend().running(); }));
    if (!WentAhead()) {
        return;
    }
    // Unread, the question without a backup (no detail) comes first.
    EXPECT_EQ(dialogs.details.mid(read ? 0 : 1), QStringList{expected.DiffText()});
    QStringList differences;
    for (size_t k = 0; k < rows.size(); ++k) {
        const int a = m.addressText(rows[k]).toInt();
        const int now = Stored(a, sent[k], false);
        EXPECT_EQ(Byte(a), now);
        if (now != sent[k]) {
            differences << Diff(expected.fields()[k].name, sent[k], now);
        }
        // The marks: against the value read back.
        EXPECT_EQ(m.deviceValue(rows[k]), QString::number(now));
    }
    ExpectVerdict(differences, Text(all, "lblStatus"));
    if (!read) {
        EXPECT_TRUE(backupAtFirstWrite.isEmpty());
        EXPECT_TRUE(Log().contains(SafeWriteText::BackupFailed(SafeWriteText::NotRead())));
        return;
    }
    // What the backup holds of the rows read is the unit tests' concern;
    // here, that it is on disk before the first write.
    EXPECT_EQ(backupAtFirstWrite.count('\n'), 3);
    const QStringList files = QDir(backups).entryList({QStringLiteral("*.par")});
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(Log().contains(SafeWriteText::BackupSaved(QDir(backups).filePath(files[0]))));
}

void SafeWriteE2E::SingleWrite(bool word) {
    // A byte at a negative address: the device answers its reads for 65531.
    const int a = word ? 30 : -5;
    const int old = word ? SWord(a) : Byte(a);
    const int sent = word ? old + 3 : (old + 3) % 256;
    Edit("txtOso")->setText(QString::number(a));
    Edit("txtValue")->setText(QString::number(sent));
    Arm();
    Click(burner, word ? "btnWrite16bit" : "btnWrite");
    ASSERT_TRUE(Done([&] { return burner->singleWrite().running(); }));
    if (!WentAhead()) {
        return;
    }
    const int now = Stored(a, sent, word);
    EXPECT_EQ(word ? SWord(a) : Byte(a), now);
    EXPECT_EQ(Edit("txtValue")->text(), QString::number(sent)) << "the reads leave it alone";
    // The old value as read, the value sent and the one read back (always answered).
    EXPECT_TRUE(
        Log().contains(SafeWriteText::SingleWriteLog(
                           a, unanswered() ? std::nullopt : std::optional(QString::number(old)),
                           QString::number(sent), QString::number(now)) +
                       '\t'))
        << Log().toStdString();
    ExpectVerdict(now == sent ? QStringList()
                              : QStringList{Diff(QStringLiteral("Address %1").arg(a), sent, now)},
                  std::nullopt);
    EXPECT_TRUE(backupAtFirstWrite.isEmpty()) << "a single write logs instead";
}

TEST_P(SafeWriteE2E, DiffBackupAndVerdict) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([&] { return burner->windowTitle().startsWith("FlamoraBurner"); }));
    all = burner->allParams();
    all->Load();
    backups = QDir(session->paths().DailyDir()).filePath(QStringLiteral("backups"));
    sim->SetRequestObserver([this](uint8_t cmd, std::span<const uint8_t>) { Observe(cmd); });
    for (Path p : {Path::SendValues, Path::AllParams, Path::Write, Path::Write16}) {
        for (Case c : {Case::Applied, Case::Forget, Case::NoAnswer, Case::Declined}) {
            SCOPED_TRACE(std::string(kPathNames[static_cast<int>(p)]) + "_" +
                         kCaseNames[static_cast<int>(c)]);
            StartRow(p, c);
            if (p == Path::SendValues) {
                SendValues();
            } else if (p == Path::AllParams) {
                AllParams();
            } else {
                SingleWrite(p == Path::Write16);
            }
            if (HasFatalFailure()) {
                return;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Burner, SafeWriteE2E, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);

}  // namespace
