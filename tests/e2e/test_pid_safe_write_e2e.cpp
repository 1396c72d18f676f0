// "Apply changes" against the simulated controller over both links, as a
// safe write: the controller's values beside the confirmation, the backup
// that is on disk before the first write goes out, the read-back verdict, and
// a controller that acknowledges but keeps other values.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <functional>
#include <set>

#include "E2E.h"
#include "pid/PidFiles.h"
#include "pid/PidWriteCheck.h"
#include "support/MessageLog.h"
#include "support/WriteCheck.h"

using namespace tuvik;
using namespace tuvik::sim;
using namespace std::chrono_literals;
using namespace tuvik::test;

namespace {

// What the editor sends to loop 0 (box order, then the manual slider).
const QStringList kBoxes = {"2100.5", "450",  "20",   "150.25", "0.5", "1.5", "2",   "4",   "0.75",
                            "-3.5",   "1.25", "0.05", "2",      "3",   "4",   "1.5", "2.5", "3.5"};
constexpr int kManual = 33;

// The controller's loop 0 before each send: the same as what is sent but for
// the setpoint, the feed-forward gain, the cycle, the manual value and the
// inverted flag.
PidParams KnownState() {
    return PidParams{.mode = 0x02,
                     .enable = true,
                     .measurePort = 2,
                     .forwardPort = 3,
                     .inverted = true,
                     .remoteSetpointPort = 4,
                     .manualVal = 40,
                     .setpoint = 150,
                     .K = 150.25f,
                     .Ti = 0.5f,
                     .Td = 1.5f,
                     .forwardK = 0.5f,
                     .tt = 2,
                     .N = 4,
                     .b = 0.75f,
                     .minContr = 20,
                     .maxContr = 450,
                     .Tm = 1.25f,
                     .h = 0.1f};
}

// name, in the controller, to be written; the changed rows marked.
struct Row {
    const char* name;
    const char* device;
    const char* sent;
    bool changed;
};
const Row kRows[] = {
    {"PID MODE", "Automatic", "Automatic", false},
    {"Enable", "1", "1", false},
    {"Remote setpoint", "0", "0", false},
    {"Setpoint value", "150", "2100.5", true},
    {"Max controller out (%)", "450", "450", false},
    {"Min controller out (%)", "20", "20", false},
    {"K", "150.25", "150.25", false},
    {"Ti", "0.5", "0.5", false},
    {"Td", "1.5", "1.5", false},
    {"Tt", "2", "2", false},
    {"N", "4", "4", false},
    {"b", "0.75", "0.75", false},
    {"forward connection K", "0.5", "-3.5", true},
    {"Tm", "1.25", "1.25", false},
    {"PID cycle h", "0.1", "0.05", true},
    {"Measure port", "2", "2", false},
    {"Forward port", "3", "3", false},
    {"Setpoint port", "4", "4", false},
    {"Manual", "40", "33", true},
    {"Inverted mode", "1", "0", true},
};

enum class Verdict { Verified, Mismatch };

struct Case {
    const char* name;
    // Switched on when the confirmation opens (after the read before it).
    std::function<void(FaultInjector&)> atConfirm;
    // Switched on before the click, on a quiet line: the read before the box.
    std::function<void(FaultInjector&)> beforeClick;
    Verdict verdict;
    std::set<QString> differing;  // the fields the warning lists
};

class PidSafeWriteE2E : public test::ProgramE2E {
  protected:
    void SetUp() override {
        ProgramE2E::SetUp();
        main->editor().setDeviceReadTimes(300, 300);
        ASSERT_TRUE(Connect());
    }
    void Click(const char* name) { test::Click(main.get(), QString::fromLatin1(name)); }
    // The reported setpoint is the one the loop works with, taken at its next cycle.
    bool WriteKnownState() {
        std::vector<uint8_t> block(72);
        KnownState().Encode(block);
        auto& c = sim->device().controller();
        return c.Write(700, block) &&
               WaitUntil([&] { return GetSingle(c.StatusRecord(0), 12) == KnownState().setpoint; });
    }
    PidParams Held() { return sim->device().controller().Params(0); }
    uint64_t Writes() { return sim->device().stats().perCommand[Cmd::MemWrite]; }
    QStringList Backups() {
        return QDir(dir.filePath("backups")).entryList({"*.PID"}, QDir::Files, QDir::Name);
    }
    void Fill() {
        for (int i = 0; i < kBoxes.size(); ++i) {
            Box(i)->setText(kBoxes[i]);
        }
        main->findChild<QWidget*>("OptionPIDmode_0")->setProperty("checked", true);
        main->findChild<QWidget*>("SliderManual")->setProperty("value", kManual);
        main->findChild<QCheckBox*>("chkEnable")->setChecked(true);
        main->findChild<QCheckBox*>("chkRemoteSetpoint")->setChecked(false);
    }
    bool Idle() {
        return !main->editor().sender().running() &&
               main->findChild<QPushButton*>("cmdOK")->isEnabled();
    }
};

}  // namespace

TEST_P(PidSafeWriteE2E, DiffBackupAndReadBackVerdict) {
    const std::vector<Case> cases = {
        {"applied", {}, {}, Verdict::Verified, {}},
        {"acknowledged, not stored",
         [](auto& f) { f.SetProbability(Fault::ForgetWrite, 1.0); },
         {},
         Verdict::Mismatch,
         {"forward connection K", "PID cycle h", "Manual", "Inverted mode"}},
        {"acknowledged, last byte stored one higher",
         [](auto& f) { f.SetProbability(Fault::MisStore, 1.0); },
         {},
         Verdict::Mismatch,
         {"forward connection K", "Min controller out (%)", "PID cycle h", "Setpoint port"}},
        {"no answer before the box",
         {},
         [](auto& f) { f.SetNext(Fault::DropReply, 2); },  // both replies of the status read
         Verdict::Verified,
         {}},
    };
    const QString loopName = session->loops()[0].GetName();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteKnownState());
        QDir(dir.filePath("backups")).removeRecursively();
        Fill();
        dialogs.clear();
        dialogs.details.clear();
        session->log().Clear();
        if (c.beforeClick) {
            session->ctx().activeLink()->SetRefreshTimer(false);
            Pump(300ms);  // no data request in flight: the dropped replies are the read's
            c.beforeClick(sim->faults());
        }
        const uint64_t writes = Writes();
        dialogs.onConfirm = [&] {
            // The box is open: no write yet, no backup yet.
            EXPECT_EQ(Writes(), writes);
            EXPECT_TRUE(Backups().isEmpty());
            if (c.atConfirm) {
                c.atConfirm(sim->faults());
            }
        };
        Click("cmdOK");
        // The moment the controller sees the first write, the backup is on disk.
        std::optional<PidFileRead> atFirstWrite;
        ASSERT_TRUE(WaitUntil(
            [&] {
                if (!atFirstWrite && Writes() > writes) {
                    const QStringList b = Backups();
                    atFirstWrite = b.size() == 1 ? ReadPidFile(dir.filePath("backups/" + b[0]))
                                                 : PidFileRead{std::nullopt, "no single backup"};
                }
                return Idle() && (c.verdict == Verdict::Verified || dialogs.shown.size() > 1);
            },
            10s));
        sim->faults().ClearAll();
        ASSERT_TRUE(atFirstWrite) << "no write went out";

        // The confirmation, with the controller's values as its detail.
        ASSERT_EQ(dialogs.details.size(), 1);
        const QStringList lines = dialogs.details[0].split('\n');
        const bool readBefore = !c.beforeClick;
        EXPECT_EQ(lines[0] == SafeWriteText::NotRead(), !readBefore) << lines[0].toStdString();
        for (const Row& r : kRows) {
            const QString device = readBefore ? QString::fromLatin1(r.device) : QStringLiteral("?");
            const QRegularExpression row(
                QStringLiteral("^%1 %2 +%3 +%4( |$)")
                    .arg(QString(readBefore && r.changed ? "\\*" : " "),
                         QRegularExpression::escape(QString::fromLatin1(r.name)),
                         QRegularExpression::escape(device),
                         QRegularExpression::escape(QString::fromLatin1(r.sent))));
            EXPECT_EQ(lines.filter(row).size(), 1) << r.name << "\n"
                                                   << dialogs.details[0].toStdString();
        }

        // The backup: the controller's values before the send, under the loop's name.
        const QString log = session->log().logText();
        if (readBefore) {
            ASSERT_TRUE(atFirstWrite->loop) << atFirstWrite->error.toStdString();
            const QString path = dir.filePath("backups/" + Backups().value(0));
            EXPECT_TRUE(QFileInfo(path).fileName().endsWith(
                QFileInfo(BackupPath(dir.path(), loopName, "PID", QDateTime())).fileName()));
            EXPECT_TRUE(log.contains(SafeWriteText::BackupSaved(path)));
            const clsPID& b = *atFirstWrite->loop;
            EXPECT_EQ(b.GetName(), loopName);
            const PidParams k = KnownState();
            EXPECT_EQ(b.AutoMode(), 1);
            for (const auto& [text, v] :
                 std::vector<std::pair<QString, float>>{{b.Setpoint(), k.setpoint},
                                                        {b.MaxContr(), k.maxContr},
                                                        {b.MinContr(), k.minContr},
                                                        {b.K(), k.K},
                                                        {b.Ti(), k.Ti},
                                                        {b.Td(), k.Td},
                                                        {b.tt(), k.tt},
                                                        {b.N(), k.N},
                                                        {b.b(), k.b},
                                                        {b.ForwardK(), k.forwardK},
                                                        {b.ManualVal(), k.manualVal},
                                                        {b.Tm(), k.Tm}}) {
                EXPECT_EQ(text.toFloat(), v) << text.toStdString();
            }
        } else {
            EXPECT_TRUE(Backups().isEmpty());
            EXPECT_TRUE(log.contains(SafeWriteText::BackupFailed(SafeWriteText::NotRead())));
        }

        // The send went out and was judged by its acknowledgements as before.
        EXPECT_TRUE(main->windowTitle().endsWith(" PID settings sent successfully!"));
        const auto* status = main->findChild<QLabel*>("lblWriteCheck");
        if (c.verdict == Verdict::Verified) {
            EXPECT_EQ(dialogs.shown.size(), 1u) << dialogs.lastText().toStdString();
            EXPECT_TRUE(
                log.contains(PidSafeWriteText::LogLine(loopName, SafeWriteText::Verified())));
            EXPECT_TRUE(status->text().startsWith(SafeWriteText::Verified()));
            EXPECT_EQ(Held().setpoint, 2100.5f);
            EXPECT_EQ(Held().h, 0.05f);
        } else {
            ASSERT_EQ(dialogs.shown.size(), 2u);
            EXPECT_EQ(dialogs.shown[1].title, SafeWriteText::MismatchTitle());
            EXPECT_EQ(dialogs.shown[1].icon, UserDialogs::Icon::Warning);
            QStringList listed = dialogs.shown[1].text.split('\n');
            ASSERT_EQ(listed.takeFirst() + '\n', SafeWriteText::Mismatch(QString()));
            std::set<QString> names;
            for (const Row& r : kRows) {
                const QString name = QString::fromLatin1(r.name);
                const QStringList hit = listed.filter(
                    QRegularExpression("^" + QRegularExpression::escape(name) + ": sent " +
                                       QRegularExpression::escape(QString::fromLatin1(r.sent)) +
                                       ", now in the device "));
                if (!hit.isEmpty()) {
                    names.insert(name);
                }
            }
            EXPECT_EQ(names, c.differing) << dialogs.shown[1].text.toStdString();
            EXPECT_EQ(listed.size(), static_cast<qsizetype>(c.differing.size()));
            EXPECT_FALSE(log.contains(SafeWriteText::Verified()));
            EXPECT_TRUE(
                log.contains(PidSafeWriteText::LogLine(loopName, SafeWriteText::MismatchTitle())));
            EXPECT_TRUE(status->text().startsWith(SafeWriteText::MismatchTitle()));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Links, PidSafeWriteE2E, ::testing::Values(Via::Pty, Via::Tcp),
                         ViaParamName);
