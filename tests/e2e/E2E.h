#pragma once
// The whole program against the in-process simulator, over a pseudo-terminal
// or over loopback TCP: the main window with the tool windows hooked on as at
// start-up, device pauses and polling shortened. The operator walk-through
// and the fault tables share it.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

#include "BurnerParams.h"
#include "RecordingDialogs.h"
#include "SimServer.h"
#include "TestUtil.h"
#include "burner/ui/frmFlamora.h"
#include "shell/DispatchState.h"
#include "link/Packet.h"
#include "pid/ui/PidEditorWidget.h"
#include "shell/Session.h"
#include "shell/ui/frmPID.h"
#include "shell/ui/ProgramStart.h"

namespace tuvik::test {

enum class Via { Pty, Tcp };

inline std::string ViaParamName(const ::testing::TestParamInfo<Via>& info) {
    return info.param == Via::Pty ? "Pty" : "Tcp";
}

inline const QDateTime kNow(QDate(2026, 12, 5), QTime(8, 0, 0));

class ProgramE2E : public ::testing::TestWithParam<Via> {
  protected:
    void SetUp() override {
        QFile params(dir.filePath("PARAMS.h"));
        ASSERT_TRUE(params.open(QIODevice::WriteOnly));
        ASSERT_GT(params.write(sim::ParamsHeaderText()), 0);
        params.close();

        sim::SimServerOptions o;
        o.pty = GetParam() == Via::Pty;
        o.ptyLink = dir.filePath("tty");
        o.tcpPort = GetParam() == Via::Tcp ? 0 : -1;
        o.tickMs = 10;
        sim = std::make_unique<sim::SimServer>(o);
        QString error;
        ASSERT_TRUE(sim->Start(&error)) << error.toStdString();

        session = std::make_unique<Session>(
            AppPaths(dir.path(), dir.path(), {dir.path(), QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
        MainWindowOptions opts;
        opts.openSettings = [this] {
            return std::make_unique<QSettings>(dir.filePath("store.ini"), QSettings::IniFormat);
        };
        opts.dialogs = &dialogs;
        TcpSettings relay;
        relay.port = sim->TcpPort();
        relay.watchMs = 20;
        session->connection().setRelay(relay);
        main = std::make_unique<frmPID>(*session, std::move(opts));
        AttachToolWindows(*session, *main, &dialogs);
        unloaded = std::make_unique<QSignalSpy>(main.get(), &frmPID::unloaded);
        main->Form_Load();
        burner = qobject_cast<frmFlamora*>(main->windows().burner());
        ASSERT_NE(burner, nullptr);
        // The day's files of the logs: that day's, whatever the date.
        session->clock().setSystem(RunningFrom(kNow));
        main->editor().sender().setPauses(20, 200, 100);
        burner->model().pollTimer().setInterval(50);
        burner->paramSetUpload().setPauseMs(150);
        burner->safeSend().reader().setTimeoutMs(500);
        Find<QLineEdit>(main.get(), "txtRefresh")->setText("100");
    }
    void TearDown() override {
        main.reset();
        session.reset();
        sim.reset();
    }

    // Connect clicked; true once both ends see the link.
    bool Connect() {
        if (GetParam() == Via::Pty) {
            Find<QLineEdit>(main.get(), "txtComPort")->setText(sim->PtyLink());
        } else {
            Find<QCheckBox>(main.get(), "chkUseTCP")->setChecked(true);
        }
        Click(main.get(), "btnCon");
        return WaitUntil([&] { return session->ctx().LinkConnected() && DeviceSeesLink(); },
                         std::chrono::seconds(15));
    }
    bool DeviceSeesLink() {
        return GetParam() == Via::Pty ? sim->PtyClientPresent() : sim->TcpClientConnected();
    }
    DeviceLink* link() { return session->ctx().activeLink(); }
    QLineEdit* Box(int i) {
        return Find<QLineEdit>(main.get(), QStringLiteral("TextAutoPID_%1").arg(i));
    }
    QString Text(QWidget* in, const char* name) { return Find<QLabel>(in, name)->text(); }
    QLineEdit* Edit(const QString& name) { return Find<QLineEdit>(burner, name); }
    sim::ControllerSim& controller() { return sim->device().controller(); }
    const sim::BurnerSim& burnerSim() { return sim->device().burner(); }
    uint8_t Byte(int a) { return burnerSim().Byte(a); }
    uint16_t Word(int a) { return burnerSim().Word(a); }
    uint64_t Requests(uint8_t cmd) { return sim->device().stats().perCommand[cmd]; }
    // The newest message box's text once one more than `before` has been shown.
    QString NextMessage(qsizetype before) {
        if (!WaitUntil([&] { return dialogs.messages.size() > before; },
                       std::chrono::seconds(15))) {
            return QStringLiteral("(no message)");
        }
        return dialogs.messages.at(before).text;
    }
    // Apply changes with the confirmation answered OK; true once the send is over.
    bool ApplyChanges() {
        Click(main.get(), "cmdOK");
        return WaitUntil(
            [&] {
                return !main->editor().sender().running() &&
                       Find<QPushButton>(main.get(), "cmdOK")->isEnabled();
            },
            std::chrono::seconds(15));
    }
    // One byte read through the burner window, answered: every request sent
    // before it has been taken by the device and every reply before its own
    // has been handled.
    bool RoundTrip() {
        Edit("txtOso")->setText("300");
        Edit("txtValue")->setText("x");
        Click(burner, "btnRead");
        return WaitUntil([&] { return Edit("txtValue")->text() == QString::number(Byte(300)); },
                         std::chrono::seconds(15));
    }
    static QStringList FileLines(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    RecordingDialogs dialogs;
    std::unique_ptr<sim::SimServer> sim;
    std::unique_ptr<Session> session;
    std::unique_ptr<frmPID> main;
    std::unique_ptr<QSignalSpy> unloaded;
    frmFlamora* burner = nullptr;
};

}  // namespace tuvik::test
