// The analog inputs window against the simulator, drawn: every input has its
// curve on the two charts. (The inputs arriving and moving while the window
// is open, over both links, are part of the operator walk-through.)
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>

#include <memory>

#include "E2E.h"
#include "SimServer.h"
#include "TestUtil.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "shell/Session.h"
#include "support/frmADinputs.h"
#include "trend/TrendChartWidget.h"

using namespace tuvik;
using namespace tuvik::sim;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

class Harness {
  public:
    explicit Harness(Via via, const QString& refresh, double simSpeed = 1.0) : via_(via) {
        SimServerOptions o;
        o.pty = via == Via::Pty;
        o.ptyLink = dir_.filePath(QStringLiteral("tty"));
        o.tcpPort = via == Via::Tcp ? 0 : -1;
        o.tickMs = 10;
        o.speed = simSpeed;
        server = std::make_unique<SimServer>(o);
        session = std::make_unique<Session>(AppPaths(dir_.path(), dir_.path(), {}));
        settings.refresh = refresh;
        settings.speed = QStringLiteral("76800");
        session->ctx().setLinkSettings(&settings);
        session->ctx().setReplyReceiver(&session->dispatcher());
    }
    ~Harness() {
        window.reset();
        link.reset();
        server.reset();
    }

    // Starts the simulator and connects the chosen link to it.
    ::testing::AssertionResult Connect() {
        QString error;
        if (!dir_.isValid() || !server->Start(&error)) {
            return ::testing::AssertionFailure() << "simulator: " << error.toStdString();
        }
        if (via_ == Via::Pty) {
            settings.comPort = server->PtyLink();
            auto serial = std::make_unique<SerialLink>(session->ctx());
            session->ctx().setActiveLink(serial.get());
            if (const auto err = serial->OpenPort()) {
                return ::testing::AssertionFailure() << err->description.toStdString();
            }
            link = std::move(serial);
        } else {
            auto tcp = std::make_unique<TcpLink>(session->ctx());
            tcp->SetRemotePort(server->TcpPort());
            tcp->TimerConnectionMaker().setInterval(20);
            session->ctx().setActiveLink(tcp.get());
            tcp->Connect();
            link = std::move(tcp);
        }
        if (!WaitUntil([&] { return link->PortOpen(); })) {
            return ::testing::AssertionFailure() << "link did not open";
        }
        return ::testing::AssertionSuccess();
    }

    void OpenWindow() {
        window = std::make_unique<frmADinputs>(*session);
        window->show();
    }
    TrendChartWidget* Chart(const char* name) {
        return window->findChild<TrendChartWidget*>(QString::fromLatin1(name));
    }
    const DispatchState& state() { return session->state(); }

    std::unique_ptr<SimServer> server;
    std::unique_ptr<Session> session;
    FixedLinkSettings settings;
    std::unique_ptr<DeviceLink> link;
    std::unique_ptr<frmADinputs> window;

  private:
    Via via_;
    QTemporaryDir dir_;
};

class AnalogInputsLive : public ::testing::TestWithParam<Via> {};

}  // namespace

TEST_P(AnalogInputsLive, AVanishingDeviceStopsTheSamplesAndPollingResumesAfterReconnect) {
    Harness h(GetParam(), QStringLiteral("50"));
    ASSERT_TRUE(h.Connect());
    h.OpenWindow();
    ASSERT_TRUE(WaitUntil([&] { return AnalogFewestHeld(h.state()) >= 5; }, 10s));
    h.server->CloseConnections();
    ASSERT_TRUE(WaitUntil([&] { return !h.link->PortOpen(); }));
    Pump(200ms);  // what was on its way is in
    const int held = AnalogFewestHeld(h.state());
    Pump(300ms);
    EXPECT_EQ(AnalogFewestHeld(h.state()), held) << "no samples without a device";
    EXPECT_FALSE(h.session->ctx().LinkConnected());

    // Connected again while the window is open, the samples come again; when
    // it closes the link's own polling takes over.
    if (auto* serial = dynamic_cast<SerialLink*>(h.link.get())) {
        ASSERT_FALSE(serial->OpenPort().has_value());
    } else {
        static_cast<TcpLink*>(h.link.get())->Connect();
    }
    ASSERT_TRUE(WaitUntil([&] { return h.link->PortOpen(); }));
    ASSERT_TRUE(WaitUntil([&] { return AnalogFewestHeld(h.state()) >= held + 5; }, 10s));
    h.window->close();
    EXPECT_TRUE(h.link->RefreshTimerEnabled());
    const uint64_t requests = h.server->device().stats().perCommand[0x91];
    EXPECT_TRUE(WaitUntil([&] { return h.server->device().stats().perCommand[0x91] > requests; }));
}

INSTANTIATE_TEST_SUITE_P(Links, AnalogInputsLive, ::testing::Values(Via::Pty, Via::Tcp),
                         ViaParamName);

// A rendering of the window after some seconds of simulated inputs (time in
// the simulator runs faster, so that the slow loops show some movement).
// Written as analog-inputs.png when TUVIK_SCREENSHOT_DIR names a folder.
TEST(AnalogInputsPicture, AfterSomeSecondsOfSimulatedInputs) {
    Harness h(Via::Tcp, QStringLiteral("10"), 30.0);
    ASSERT_TRUE(h.Connect());
    h.OpenWindow();
    ASSERT_TRUE(WaitUntil([&] { return AnalogFewestHeld(h.state()) >= 300; }, 20s));
    TrendChartWidget* lower = h.Chart("Picture2");
    const int painted = lower->paintCount();
    ASSERT_TRUE(WaitUntil([&] { return lower->paintCount() > painted; }, 5s));
    // Every input has its curve and legend entry in its colour, and the
    // curves are not all flat: some climb or fall over many rows.
    for (const char* name : {"Picture1", "Picture2"}) {
        SCOPED_TRACE(name);
        TrendChartWidget* c = h.Chart(name);
        const QImage chart = c->grab().toImage();
        const int plotRight = c->width() * 4 / 5;
        int steepest = 0;
        for (QRgb colour : {0xFFFFFFu, 0xFFFF00u, 0xFF0000u, 0x00FFFFu}) {
            int pixels = 0;
            int rows = 0;
            for (int y = 0; y < chart.height(); ++y) {
                int inRow = 0;
                for (int x = 40; x < plotRight; ++x) {
                    inRow += (chart.pixel(x, y) & 0xFFFFFF) == colour ? 1 : 0;
                }
                pixels += inRow;
                rows += inRow > 0 ? 1 : 0;
            }
            EXPECT_GT(pixels, plotRight / 2) << std::hex << colour;
            steepest = std::max(steepest, rows);
        }
        EXPECT_GT(steepest, 15);
    }

    const QImage img = h.window->grab().toImage();

    const QByteArray dir = qgetenv("TUVIK_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(dir));
        EXPECT_TRUE(img.save(
            QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("analog-inputs.png"))));
    }
}
