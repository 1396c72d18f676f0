// The desktop tool through the monitor's relay: the operator's windows reach
// the controller over the monitor's pseudo-terminal, read a loop's settings
// and write its setpoint back through the safe write. Meanwhile the
// controller gets exactly the desktop's bytes but "DG"; the monitor files
// the live values under the desktop's loop, and once the desktop has gone
// it selects its own loop again and polls.
#include <gtest/gtest.h>

#include <QComboBox>

#include "E2E.h"
#include "ScratchSession.h"
#include "link/RecordingReader.h"
#include "monitor/RelayServer.h"
#include "pid/PidEditorModel.h"
#include "support/Numbers.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

class RelayE2E : public ProgramE2E {
  protected:
    void SetUp() override {
        ProgramE2E::SetUp();  // the simulator on its pseudo-terminal only
        sim->SetByteObserver([this](std::span<const uint8_t> b) {
            seen.append(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
        });
        monitor = SerialSession(dir.filePath("monitor"), sim->PtyLink());
        ASSERT_TRUE(WaitUntil([&] { return monitor->ctx().LinkConnected(); }, 10s));
        relay = std::make_unique<monitor::RelayServer>(
            *monitor, monitor::RelayConfig{.on = true, .host = "127.0.0.1", .port = 0, .allow = {}});
        relay->setQuietLine(50, 500);
        ASSERT_EQ(relay->Start(), std::nullopt);
        session->connection().setRelay({.port = relay->port(), .watchMs = 20});
    }
    void TearDown() override {
        main.reset();
        session.reset();
        relay.reset();
        monitor.reset();
        ProgramE2E::TearDown();
    }
    QByteArray seen;  // every byte the controller got
    std::unique_ptr<Session> monitor;
    std::unique_ptr<monitor::RelayServer> relay;
};

}  // namespace

TEST_P(RelayE2E, TheDesktopReadsAndWritesALoopAndAloneReachesTheControllerUntilItLeaves) {
    QSignalSpy filed(&monitor->dispatcher(), &ReplyDispatcher::liveSampled);
    Find<QCheckBox>(main.get(), "chkUseTCP")->setChecked(true);
    Click(main.get(), "btnCon");
    ASSERT_TRUE(WaitUntil([&] { return session->ctx().LinkConnected() && relay->lending(); }, 15s));

    Find<QComboBox>(main.get(), "comboPID")->setCurrentIndex(1);
    ASSERT_TRUE(WaitUntil([&] { return controller().Selected() == 1; }));
    auto* get = Find<QPushButton>(main.get(), "btnGetCurrentValues");
    Click(main.get(), "btnGetCurrentValues");
    ASSERT_TRUE(WaitUntil([&] {
        return get->isEnabled() && main->windowTitle().startsWith("PID luku onnistui ");
    }));
    EXPECT_EQ(Box(PidBox::Setpoint)->text(),
              SingleText(controller().Params(1).setpoint, QLatin1Char('.')));
    Box(PidBox::Setpoint)->setText("55");
    ASSERT_TRUE(ApplyChanges());
    EXPECT_EQ(controller().Params(1).setpoint, 55.0f);
    EXPECT_TRUE(WaitUntil([&] { return filed.contains(QVariantList{1}); }));
    session->connection().RefreshRelay();
    Click(main.get(), "btnCon");
    ASSERT_TRUE(WaitUntil([&] { return !relay->lending() && !session->recorder().recording(); }));

    // Everything the desktop sent but "DG", in one piece; the monitor's own
    // requests before it and after: its loop again, then its polling.
    const QList<RecordingEntry> recordings = session->recorder().folder().Entries();
    ASSERT_EQ(recordings.size(), 1);
    QString error;
    const auto reader = RecordingReader::Open(recordings[0].path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    QByteArray sent;
    int relayCommands = 0;
    for (RecordedChunk chunk; reader->Next(chunk);) {
        if (chunk.direction == ChunkDirection::Sent) {
            (chunk.bytes == "DG" ? ++relayCommands : (sent += chunk.bytes, 0));
        }
    }
    ASSERT_EQ(relayCommands, 1);
    ASSERT_TRUE(WaitUntil(
        [&] { return seen.mid(seen.indexOf(sent) + sent.size()).count(Hex("91 00 6E")) > 2; }));
    const qsizetype at = seen.indexOf(sent);
    ASSERT_GT(at, 0) << sent.toHex(' ').toStdString();
    EXPECT_TRUE(seen.mid(at + sent.size()).startsWith(Hex("80 01 00 7F")));
    EXPECT_EQ(monitor->loops().selectedIndex(), 0);
}

INSTANTIATE_TEST_SUITE_P(Monitor, RelayE2E, ::testing::Values(Via::Pty), ViaParamName);
