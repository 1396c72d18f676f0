// "Apply changes" against the simulated controller over both links, as a
// safe write: the controller's values beside the confirmation, the backup
// that is on disk before the first write goes out, the read-back verdict, and
// a controller that acknowledges but keeps other values.
#include <gtest/gtest.h>

#include <QDir>
#include <QSet>

#include <functional>

#include "E2E.h"
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
    // mode, enable, ports, inverted, remote setpoint, its port; manual value,
    // setpoint, K, Ti, Td, forward K, Tt, N, b, min and max output, Tm, h.
    return PidParams{0x02, true, 2,    3, true, false, 4,  40,  150,   150.25f,
                     0.5f, 1.5f, 0.5f, 2, 4,    0.75f, 20, 450, 1.25f, 0.1f};
}

struct Case {
    const char* name;
    // Switched on when the confirmation opens (after the read before it).
    std::function<void(FaultInjector&)> atConfirm;
    // Switched on as the status read before the box reaches the controller.
    std::function<void(FaultInjector&)> atStatusRead;
    QStringList differing;  // the fields the warning lists; none: verified
};

// The fields in which KnownState differs from what is sent.
const QStringList kChanged = {"Setpoint value", "forward connection K", "PID cycle h", "Manual",
                              "Inverted mode"};

class PidSafeWriteE2E : public test::ProgramE2E {
  protected:
    void SetUp() override {
        ProgramE2E::SetUp();
        main->editor().setDeviceReadTimes(300, 300);
        ASSERT_TRUE(Connect());
        sim->SetRequestObserver([this](uint8_t cmd, std::span<const uint8_t>) {
            if (cmd == Cmd::ReadStatus && atStatusRead) {
                std::exchange(atStatusRead, {})(sim->faults());
            }
        });
    }
    std::function<void(FaultInjector&)> atStatusRead;
    bool WriteKnownState() {
        std::vector<uint8_t> block(72);
        KnownState().Encode(block);
        return controller().Write(700, block);
    }
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
};

}  // namespace

TEST_P(PidSafeWriteE2E, DiffBackupAndReadBackVerdict) {
    const std::vector<Case> cases = {
        {"applied", {}, {}, {}},
        {"acknowledged, not stored",
         [](auto& f) { f.SetProbability(Fault::ForgetWrite, 1.0); },
         {},
         kChanged},
        {"no answer before the box",
         {},
         [](auto& f) { f.SetNext(Fault::DropReply, 2); },  // both replies of the status read
         {}},
    };
    const QString loopName = session->loops()[0].GetName();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteKnownState());
        QDir(dir.filePath("backups")).removeRecursively();
        Fill();
        dialogs.clear();
        session->log().Clear();
        atStatusRead = c.atStatusRead;
        const uint64_t writes = Writes();
        dialogs.onConfirm = [&] {
            // The box is open: no write yet, no backup yet.
            EXPECT_EQ(Writes(), writes);
            EXPECT_TRUE(Backups().isEmpty());
            if (c.atConfirm) {
                c.atConfirm(sim->faults());
            }
        };
        test::Click(main.get(), "cmdOK");
        // The moment the controller sees the first write, the backup is on disk
        // (what it holds is the editor's test, with a recorded status reply).
        std::optional<qsizetype> backupsAtFirstWrite;
        ASSERT_TRUE(WaitUntil(
            [&] {
                if (!backupsAtFirstWrite && Writes() > writes) {
                    backupsAtFirstWrite = Backups().size();
                }
                return !main->editor().sender().running() &&
                       main->findChild<QWidget*>("comboPID")->isEnabled() &&
                       (c.differing.isEmpty() || dialogs.shown.size() > 1);
            },
            10s));
        sim->faults().ClearAll();
        ASSERT_TRUE(backupsAtFirstWrite) << "no write went out";

        // The confirmation, with the controller's values as its detail (what
        // it marks is the write check's unit test).
        const bool readBefore = !c.atStatusRead;
        ASSERT_EQ(dialogs.details.size(), readBefore ? 1 : 2) << "the confirmation and a question";
        EXPECT_EQ(dialogs.details[0].startsWith(SafeWriteText::NotRead()), !readBefore);

        const QString log = session->log().logText();
        if (readBefore) {
            EXPECT_EQ(*backupsAtFirstWrite, 1);
            EXPECT_TRUE(log.contains(
                SafeWriteText::BackupSaved(dir.filePath("backups/" + Backups().value(0)))));
        } else {
            EXPECT_TRUE(Backups().isEmpty());
            EXPECT_TRUE(log.contains(SafeWriteText::BackupFailed(SafeWriteText::NotRead())));
        }

        // The send went out and was judged by its acknowledgements as before.
        EXPECT_TRUE(main->windowTitle().endsWith(" PID settings sent successfully!"));
        const QString verdict =
            c.differing.isEmpty() ? SafeWriteText::Verified() : SafeWriteText::MismatchTitle();
        EXPECT_TRUE(main->findChild<QLabel*>("lblWriteCheck")->text().startsWith(verdict));
        EXPECT_TRUE(log.contains(PidSafeWriteText::LogLine(loopName, verdict)));
        ASSERT_EQ(dialogs.shown.size(), c.differing.isEmpty() ? 1u : 2u)
            << dialogs.lastText().toStdString();
        if (c.differing.isEmpty()) {
            const PidParams held = controller().Params(0);
            EXPECT_EQ(std::pair(held.setpoint, held.h), std::pair(2100.5f, 0.05f));
        } else {
            EXPECT_EQ(std::pair(dialogs.shown[1].title, dialogs.shown[1].icon),
                      std::pair(SafeWriteText::MismatchTitle(), UserDialogs::Icon::Warning));
            QStringList listed = dialogs.shown[1].text.split('\n');
            ASSERT_EQ(listed.takeFirst() + '\n', SafeWriteText::Mismatch(QString()));
            for (QString& line : listed) {
                line = line.section(": sent ", 0, 0);
            }
            EXPECT_EQ(QSet(listed.begin(), listed.end()),
                      QSet(c.differing.begin(), c.differing.end()))
                << dialogs.shown[1].text.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Links, PidSafeWriteE2E, ::testing::Values(Via::Pty, Via::Tcp),
                         ViaParamName);
