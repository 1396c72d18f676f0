// A lost link comes back by itself: the status line says so, the message log
// has one line for the loss and one for the return, polling resumes, and
// Disconnect ends the retries. Over a pseudo-terminal that disappears and
// reappears, and over a relay that hangs up.
#include <QPalette>
#include <QTimer>

#include "E2E.h"
#include "FaultInjector.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

class LinkComesBack : public ProgramE2E {
  protected:
    // The device goes away: the relay hangs up after its next answer; the
    // pseudo-terminal's simulator stops and a new one takes the same path.
    void LoseTheDevice() {
        if (GetParam() == Via::Tcp) {
            sim->faults().SetNext(sim::Fault::Close, 1);
            return;
        }
        sim::SimServerOptions o;
        o.pty = true;
        o.ptyLink = sim->PtyLink();
        o.tcpPort = -1;
        o.tickMs = 10;
        sim.reset();
        ASSERT_TRUE(WaitUntil([&] { return link()->reconnecting(); }));
        sim = std::make_unique<sim::SimServer>(o);
        QString error;
        ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    }
    QLabel* Status() { return Find<QLabel>(main.get(), "lblLinkStatus"); }
    bool Warning() { return Status()->palette().color(QPalette::Window) == QColor(255, 196, 0); }
};

}  // namespace

TEST_P(LinkComesBack, RetriesUntilTheDeviceIsBackAndDisconnectStopsIt) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([&] { return Status()->text().contains("last reply 0."); }));

    QStringList shown;  // the line as the window set it when the retries began
    QObject::connect(link(), &DeviceLink::reconnectingChanged, [&](bool on) {
        shown << QString::number(on) + (Warning() ? " warning " : " ") + Status()->text();
    });
    const quint64 repliesBefore = link()->traffic().replies;
    LoseTheDevice();
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(shown.value(0).startsWith("1 warning ") &&
                shown.value(0).contains(": connection lost, reconnecting..."))
        << shown.join('/').toStdString();
    // Back with polling: fresh replies counted on the same link.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return session->ctx().LinkConnected() && !link()->reconnecting() &&
                   link()->traffic().replies > repliesBefore + 3;
        },
        std::chrono::seconds(15)));
    const QString log = session->log().logText();
    EXPECT_EQ(log.count("Connection lost: "), 1) << log.toStdString();
    EXPECT_EQ(log.count("Connection back: "), 1) << log.toStdString();

    // Lost again, then Disconnect: no more attempts.
    LoseTheDevice();
    if (GetParam() == Via::Tcp) {
        ASSERT_TRUE(WaitUntil([&] { return link()->reconnecting(); }, std::chrono::seconds(10)));
    }
    Click(main.get(), "btnCon");
    EXPECT_FALSE(link()->reconnecting());
    // Two ticks of a timer of the retry period started after the click: timers
    // fire in the order they fall due, so a retry would have come first.
    QTimer retryPeriod;
    QSignalSpy ticks(&retryPeriod, &QTimer::timeout);
    retryPeriod.start(DeviceLink::kReconnectMs);
    ASSERT_TRUE(WaitUntil([&] { return ticks.count() >= 2; }));
    EXPECT_FALSE(session->ctx().LinkConnected());
    EXPECT_EQ(Status()->text(), "Not connected");
}

INSTANTIATE_TEST_SUITE_P(Links, LinkComesBack, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);
