#pragma once
// The burner windows connected to the in-process simulator over a real link:
// a pseudo-terminal taken by the serial link, or loopback TCP taken by the
// TCP link.

#include <ostream>

#include "E2E.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"

namespace tuvik::test {

inline const char* ViaName(Via v) {
    return v == Via::Pty ? "Pty" : "Tcp";
}

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

    std::span<const uint8_t> memory() { return server->device().BurnerMemory(); }

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

}  // namespace tuvik::test
