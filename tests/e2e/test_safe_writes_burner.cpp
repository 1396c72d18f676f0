// The burner's safe writes against the simulator over both links, as one
// table of write path x device behaviour: the diff against the device's
// values, the backup on disk before the first write request reaches the
// device, and the verdict of the read-back.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "BurnerRig.h"
#include "burner/AllParamsModel.h"
#include "burner/BurnerSafeWrite.h"
#include "burner/frmAllParams.h"

using namespace tuvik;
using namespace tuvik::test;
using sim::Fault;

namespace {

enum class Path { SendValues, AllParams, Write, Write16 };
enum class Case {
    Applied,   // the device stores what it acknowledges
    Forget,    // acknowledges, stores nothing
    MisStore,  // acknowledges, stores each write's last byte one higher
    NoAnswer,  // the read before the write is not answered
};
using Param = std::tuple<Via, Path, Case>;

const char* const kPathNames[] = {"SendValues", "AllParams", "Write", "Write16"};
const char* const kCaseNames[] = {"Applied", "Forget", "MisStore", "NoAnswer"};

std::string Name(const ::testing::TestParamInfo<Param>& info) {
    const auto [via, path, c] = info.param;
    return std::string(ViaName(via)) + "_" + kPathNames[static_cast<int>(path)] + "_" +
           kCaseNames[static_cast<int>(c)];
}

QString Diff(const QString& name, int sent, int now) {
    return QStringLiteral("%1: sent %2, now in the device %3").arg(name).arg(sent).arg(now);
}

class SafeWriteE2E : public ::testing::TestWithParam<Param> {
  protected:
    void SetUp() override {
        std::tie(via, path, kase) = GetParam();
        rig = std::make_unique<BurnerRig>(via);
        ASSERT_TRUE(rig->ok) << rig->error.toStdString();
        form = rig->form.get();
        form->paramSetUpload().setPauseMs(150);
        form->Load();
        ASSERT_TRUE(WaitUntil([&] { return form->windowTitle().startsWith("FlamoraBurner"); }));
        // Long enough for an answer over a loaded machine, short for the
        // read that is never answered.
        const int wait = kase == Case::NoAnswer ? 400 : 5000;
        form->safeSend().reader().setTimeoutMs(wait);
        form->singleWrite().reader().setTimeoutMs(wait);
        all = form->allParams();
        all->Load();
        all->safeSend().reader().setTimeoutMs(wait);
        backups = QDir(rig->session->paths().DailyDir()).filePath(QStringLiteral("backups"));

        const uint8_t readCmd = path == Path::SendValues ? Cmd::ReadParamSet
                                : path == Path::Write16  ? Cmd::ReadWord
                                                         : Cmd::ReadByte;
        rig->server->SetRequestObserver([this, readCmd](uint8_t cmd, std::span<const uint8_t>) {
            if (!armed || wrote) {
                return;
            }
            if (cmd == Cmd::MemWrite) {
                wrote = true;
                // Only the read before the write goes unanswered.
                for (BurnerDeviceRead* r :
                     {&form->safeSend().reader(), &form->singleWrite().reader(),
                      &all->safeSend().reader()}) {
                    r->setTimeoutMs(5000);
                }
                backupAtFirstWrite = BackupText();
                memoryAtFirstWrite.assign(rig->memory().begin(), rig->memory().begin() + 1024);
            } else if (cmd == readCmd && kase == Case::NoAnswer) {
                rig->server->faults().SetNext(Fault::DropReply, 1);
            }
        });
    }
    void TearDown() override { rig.reset(); }

    QByteArray BackupText() const {
        const QStringList files = QDir(backups).entryList({QStringLiteral("*.par")}, QDir::Files);
        QFile f(QDir(backups).filePath(files.value(0)));
        return files.size() == 1 && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int Mem(int a) const { return rig->memory()[a]; }
    int Word(int a) const { return static_cast<int16_t>(Mem(a) | (Mem(a + 1) << 8)); }
    int Before(int a, bool word) const {
        const int lo = memoryAtFirstWrite.at(a);
        return word ? static_cast<int16_t>(lo | (memoryAtFirstWrite.at(a + 1) << 8)) : lo;
    }
    // What the device holds after a write of `sent` at a under this case.
    int Stored(int a, int sent, bool word, bool lastOfBlock) const {
        if (kase == Case::Forget) {
            return Before(a, word);
        }
        if (kase == Case::MisStore && lastOfBlock) {
            return word ? static_cast<int16_t>((sent & 0xFF) | ((((sent >> 8) + 1) & 0xFF) << 8))
                        : (sent + 1) & 0xFF;
        }
        return sent;
    }
    void Arm() {
        armed = true;
        if (kase == Case::Forget || kase == Case::MisStore) {
            rig->server->faults().SetProbability(
                kase == Case::Forget ? Fault::ForgetWrite : Fault::MisStore, 1.0);
        }
    }
    QString Log() const { return rig->session->log().logText(); }
    // The warning boxes shown, as their texts.
    QStringList Mismatches() const {
        QStringList out;
        for (const auto& m : rig->dialogs.messages) {
            if (m.title == SafeWriteText::MismatchTitle()) {
                out << m.text;
            }
        }
        return out;
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

    Via via{};
    Path path{};
    Case kase{};
    std::unique_ptr<BurnerRig> rig;
    frmFlamora* form = nullptr;
    frmAllParams* all = nullptr;
    QString backups;
    bool armed = false;
    bool wrote = false;
    QByteArray backupAtFirstWrite;
    std::vector<uint8_t> memoryAtFirstWrite;
};

TEST_P(SafeWriteE2E, DiffBackupAndVerdict) {
    const bool read = kase != Case::NoAnswer;
    QStringList differences;
    if (path == Path::SendValues) {
        const auto& defs = ParamBoxes();
        // The boxes as read; two of them edited and marked.
        QStringList boxes = form->ParamBoxTexts();
        for (int i = 0; i < kParamBoxCount; ++i) {
            const int a = defs[i].address;
            ASSERT_EQ(boxes[i].toInt(), defs[i].width == 16 ? Word(a) : Mem(a)) << i;
        }
        auto* box0 = form->findChild<QLineEdit*>(QStringLiteral("txtFlamoraParams_0"));
        auto* box10 = form->findChild<QLineEdit*>(QStringLiteral("txtFlamoraParams_10"));
        const int sent0 = Word(4) + 1;
        const int sent10 = (Mem(24) + 1) % 256;
        box0->setText(QString::number(sent0));
        box10->setText(QString::number(sent10));
        EXPECT_EQ(box0->palette().color(QPalette::Base), EditedMarkColour());
        EXPECT_TRUE(box0->toolTip().endsWith(QStringLiteral("In the device: %1").arg(Word(4))));
        EXPECT_NE(form->findChild<QLineEdit*>(QStringLiteral("txtFlamoraParams_1"))
                      ->palette()
                      .color(QPalette::Base),
                  EditedMarkColour());
        const QStringList sentBoxes = form->ParamBoxTexts();

        Arm();
        Click(form, QStringLiteral("btnSendValues"));
        ASSERT_TRUE(
            WaitUntil([&] { return !form->safeSend().running(); }, std::chrono::seconds(30)));
        ASSERT_TRUE(wrote);
        const int blockLast[] = {5, 13, 18};
        for (int i = 0; i < kParamBoxCount; ++i) {
            const int a = defs[i].address;
            const bool word = defs[i].width == 16;
            const int sent = sentBoxes[i].toInt();
            const int now = Stored(a, sent, word, std::count(blockLast, blockLast + 3, i) > 0);
            EXPECT_EQ(word ? Word(a) : Mem(a), now) << i;
            if (now != sent) {
                differences << Diff(defs[i].label, sent, now);
            }
        }
        const QString result = rig->dialogs.messages.value(0).text;
        EXPECT_TRUE(result.startsWith(ParamSetUpload::kOkText)) << result.toStdString();
        ExpectVerdict(differences, result);
        // After the read-back the marks follow the device.
        EXPECT_EQ(box0->palette().color(QPalette::Base) == EditedMarkColour(), Word(4) != sent0);
        if (read) {
            QStringList atWrite;
            for (int i = 0; i < kParamBoxCount; ++i) {
                atWrite << QString::number(Before(defs[i].address, defs[i].width == 16));
            }
            QStringList loaded;
            EXPECT_EQ(LoadParamSetPar(backupAtFirstWrite, loaded), kParamBoxCount);
            EXPECT_EQ(loaded, atWrite);
            EXPECT_TRUE(result.endsWith(SafeWriteText::BackupSaved(form->safeSend().backupPath())));
            // Load backup fills the boxes with what was overwritten; nothing is written.
            const uint64_t writes = rig->server->device().stats().writes;
            rig->dialogs.files = {form->safeSend().backupPath()};
            Click(form, QStringLiteral("btnLoadBackup"));
            EXPECT_EQ(form->ParamBoxTexts(), atWrite);
            Pump(std::chrono::milliseconds(200));
            EXPECT_EQ(rig->server->device().stats().writes, writes);
        } else {
            EXPECT_TRUE(backupAtFirstWrite.isEmpty());
            EXPECT_TRUE(result.endsWith(SafeWriteText::BackupFailed(SafeWriteText::NotRead())));
        }
    } else if (path == Path::AllParams) {
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
            sent.push_back(k == 1 ? Mem(a) : (Mem(a) + 1 + k) % 256);
            m.setChecked(rows[k], true);
            m.setValueText(rows[k], QString::number(sent[k]));
            expected.Add(m.addressText(rows[k]) + ' ' + m.name(rows[k]).trimmed(),
                         QString::number(sent[k]));
            if (read) {
                expected.SetDevice(static_cast<int>(k), QString::number(Mem(a)));
            }
        }
        Arm();
        Click(all, QStringLiteral("Command3"));
        ASSERT_TRUE(
            WaitUntil([&] { return !all->safeSend().running(); }, std::chrono::seconds(30)));
        ASSERT_TRUE(wrote);
        EXPECT_EQ(rig->dialogs.details, QStringList{expected.DiffText()});
        QStringList backupValues;
        for (size_t k = 0; k < rows.size(); ++k) {
            const int a = m.addressText(rows[k]).toInt();
            const int now = Stored(a, sent[k], false, true);
            EXPECT_EQ(Mem(a), now);
            if (now != sent[k]) {
                differences << Diff(expected.fields()[k].name, sent[k], now);
            }
            backupValues << QString::number(Before(a, false));
            // The marks: against the value read back.
            EXPECT_EQ(m.deviceValue(rows[k]), QString::number(now));
        }
        ExpectVerdict(differences, all->findChild<QLabel*>(QStringLiteral("lblStatus"))->text());
        if (read) {
            QStringList lines;
            for (const QByteArray& l : backupAtFirstWrite.split('\n')) {
                if (const auto f = ParseParLine(QString::fromLatin1(l))) {
                    lines << QString::number(f->value);
                }
            }
            EXPECT_EQ(lines, backupValues);
            const QStringList files = QDir(backups).entryList({QStringLiteral("*.par")});
            ASSERT_EQ(files.size(), 1);
            EXPECT_TRUE(
                Log().contains(SafeWriteText::BackupSaved(QDir(backups).filePath(files[0]))));
        } else {
            EXPECT_TRUE(backupAtFirstWrite.isEmpty());
            EXPECT_TRUE(rig->dialogs.details.value(0).startsWith(SafeWriteText::NotRead()));
            EXPECT_TRUE(Log().contains(SafeWriteText::BackupFailed(SafeWriteText::NotRead())));
        }
    } else {
        const bool word = path == Path::Write16;
        const int a = word ? 30 : 24;
        const int old = word ? Word(a) : Mem(a);
        const int sent = word ? old + 3 : (old + 3) % 256;
        form->findChild<QLineEdit*>(QStringLiteral("txtOso"))->setText(QString::number(a));
        auto* value = form->findChild<QLineEdit*>(QStringLiteral("txtValue"));
        value->setText(QString::number(sent));
        Arm();
        Click(form, word ? QStringLiteral("btnWrite16bit") : QStringLiteral("btnWrite"));
        ASSERT_TRUE(
            WaitUntil([&] { return !form->singleWrite().running(); }, std::chrono::seconds(30)));
        ASSERT_TRUE(wrote);
        const int now = Stored(a, sent, word, true);
        EXPECT_EQ(word ? Word(a) : Mem(a), now);
        EXPECT_EQ(value->text(), QString::number(sent)) << "the reads leave txtValue alone";
        if (now != sent) {
            differences << Diff(QStringLiteral("Address %1").arg(a), sent, now);
        }
        EXPECT_TRUE(Log().contains(SafeWriteText::SingleWriteLog(
            a, read ? std::optional<QString>(QString::number(old)) : std::nullopt,
            QString::number(sent),
            read ? std::optional<QString>(QString::number(now)) : std::nullopt)))
            << Log().toStdString();
        ExpectVerdict(differences, std::nullopt);
        EXPECT_TRUE(backupAtFirstWrite.isEmpty()) << "a single write logs instead";
    }
}

INSTANTIATE_TEST_SUITE_P(Burner, SafeWriteE2E,
                         ::testing::Combine(::testing::Values(Via::Pty, Via::Tcp),
                                            ::testing::Values(Path::SendValues, Path::AllParams,
                                                              Path::Write, Path::Write16),
                                            ::testing::Values(Case::Applied, Case::Forget,
                                                              Case::MisStore, Case::NoAnswer)),
                         Name);

}  // namespace
