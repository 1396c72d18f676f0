#pragma once
// The burner windows connected to the in-process simulator over a real link:
// a pseudo-terminal taken by the serial link, or loopback TCP taken by the
// TCP link.

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "BurnerParams.h"
#include "E2E.h"
#include "RecordingDialogs.h"
#include "SimServer.h"
#include "TestUtil.h"
#include "burner/frmFlamora.h"
#include "link/Packet.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "shell/Session.h"

namespace tuvik::test {

struct BurnerRig {
    explicit BurnerRig(Via via, double simSpeed = 1.0) {
        if (!dir.isValid()) {
            error = QStringLiteral("no temporary folder");
            return;
        }
        QFile params(dir.filePath(QStringLiteral("PARAMS.h")));
        if (!params.open(QIODevice::WriteOnly) || params.write(sim::ParamsHeaderText()) < 0) {
            error = QStringLiteral("PARAMS.h not written");
            return;
        }
        params.close();

        sim::SimServerOptions o;
        o.pty = via == Via::Pty;
        o.tcpPort = via == Via::Tcp ? 0 : -1;
        o.speed = simSpeed;
        server = std::make_unique<sim::SimServer>(o);
        if (!server->Start(&error)) {
            return;
        }

        session = std::make_unique<Session>(AppPaths(dir.path(), dir.path(), {dir.path()}));
        session->Start();
        settings.comPort = server->PtyPath();
        settings.speed = QStringLiteral("76800");
        settings.refresh = QStringLiteral("333");
        session->ctx().setLinkSettings(&settings);
        if (via == Via::Pty) {
            serial = std::make_unique<SerialLink>(session->ctx());
            session->ctx().setActiveLink(serial.get());
            if (const auto e = serial->OpenPort()) {
                error = QStringLiteral("serial port not opened");
                return;
            }
        } else {
            tcp = std::make_unique<TcpLink>(session->ctx());
            tcp->SetRemotePort(server->TcpPort());
            tcp->TimerConnectionMaker().setInterval(20);
            session->ctx().setActiveLink(tcp.get());
            tcp->Connect();
            if (!WaitUntil([&] { return tcp->PortOpen() && session->ctx().LinkConnected(); })) {
                error = QStringLiteral("TCP link not connected");
                return;
            }
        }
        form = std::make_unique<frmFlamora>(*session, &dialogs);
        ok = true;
    }

    ~BurnerRig() {
        form.reset();
        if (session) {
            session->ctx().setActiveLink(nullptr);
        }
        serial.reset();
        tcp.reset();
        session.reset();
        if (server) {
            server->Stop();
        }
    }

    DeviceLink* link() { return serial ? static_cast<DeviceLink*>(serial.get()) : tcp.get(); }
    std::span<const uint8_t> memory() { return server->device().BurnerMemory(); }
    uint16_t Word(int address) { return memory()[address] | (memory()[address + 1] << 8); }

    QTemporaryDir dir;
    QString error;
    bool ok = false;
    FixedLinkSettings settings;
    RecordingDialogs dialogs;
    std::unique_ptr<sim::SimServer> server;
    std::unique_ptr<Session> session;
    std::unique_ptr<SerialLink> serial;
    std::unique_ptr<TcpLink> tcp;
    std::unique_ptr<frmFlamora> form;
};

// The burner window loaded against the simulator over either link, with the
// device timings shortened.
class BurnerE2EFixture : public ::testing::TestWithParam<Via> {
  protected:
    void SetUp() override {
        rig = std::make_unique<BurnerRig>(GetParam());
        ASSERT_TRUE(rig->ok) << rig->error.toStdString();
        form = rig->form.get();
        form->Timer1().setInterval(50);
        form->paramSetUpload().setPauseMs(150);
        form->safeSend().reader().setTimeoutMs(1500);
        form->Load();
        ASSERT_TRUE(WaitUntil([&] { return form->windowTitle().startsWith("FlamoraBurner"); }));
    }
    void TearDown() override { rig.reset(); }

    template <class T>
    T* Find(QWidget* in, const QString& name) {
        T* w = in->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QLineEdit* Edit(const QString& name) { return Find<QLineEdit>(form, name); }
    void Click(QWidget* in, const QString& name) {
        QTest::mouseClick(Find<QPushButton>(in, name), Qt::LeftButton);
    }
    int Commits() {
        return static_cast<int>(rig->server->device().stats().perCommand[Cmd::Commit]);
    }
    // The first line of the upload's message box, once the send with its
    // reads is over.
    QString UploadOutcome() {
        const qsizetype before = rig->dialogs.messages.size();
        Click(form, "btnSendValues");
        if (!WaitUntil(
                [&] {
                    return rig->dialogs.messages.size() > before && !form->safeSend().running();
                },
                std::chrono::seconds(20))) {
            return QStringLiteral("(no message)");
        }
        return rig->dialogs.messages.at(before).text.section(QStringLiteral("\n\n"), 0, 0);
    }

    std::unique_ptr<BurnerRig> rig;
    frmFlamora* form = nullptr;
};

}  // namespace tuvik::test
