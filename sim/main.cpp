// tuvik-sim: the simulated controller and burner, on a pseudo-terminal and a
// TCP relay port, for running and testing the tool without hardware.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

#include <unistd.h>

#include "BurnerParams.h"
#include "SimCommandLine.h"
#include "SimServer.h"

namespace {
int gSignalPipe[2] = {-1, -1};

void OnSignal(int sig) {
    const char b = static_cast<char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &b, 1);
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tuvik-sim"));
    using namespace tuvik::sim;

    const SimArguments args = ParseSimArguments(QCoreApplication::arguments());
    if (args.kind == SimArguments::Help) {
        std::fputs(qPrintable(args.text), stdout);
        return 0;
    }
    if (args.kind == SimArguments::Error) {
        std::fprintf(stderr, "tuvik-sim: %s\nTry tuvik-sim --help.\n", qPrintable(args.text));
        return 2;
    }
    if (args.launch.printParams) {
        const QByteArray text = ParamsHeaderText();
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        return 0;
    }

    // Signals end the event loop through a pipe, so that the transports are
    // closed and the link removed by the normal way out.
    if (::pipe(gSignalPipe) != 0) {
        std::perror("tuvik-sim: pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    QSocketNotifier quit(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&quit, &QSocketNotifier::activated, &app, [] {
        char b;
        [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[0], &b, 1);
        QCoreApplication::quit();
    });

    SimServer server(args.launch.server);
    ApplyFaults(args.launch, server.faults());
    QString error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "tuvik-sim: %s\n", qPrintable(error));
        return 1;
    }
    const SimServerOptions& o = args.launch.server;
    if (o.pty) {
        if (o.ptyLink.isEmpty()) {
            std::printf("tuvik-sim: pty %s\n", qPrintable(server.PtyPath()));
        } else {
            std::printf("tuvik-sim: pty %s linked at %s\n", qPrintable(server.PtyPath()),
                        qPrintable(o.ptyLink));
        }
    }
    if (o.tcpPort >= 0) {
        std::printf("tuvik-sim: tcp %s:%u\n", qPrintable(o.listen.toString()), server.TcpPort());
    }
    std::printf("tuvik-sim: ready (seed %llu, hw-version %d, speed %g)\n",
                static_cast<unsigned long long>(o.device.seed), o.device.hwVersion, o.speed);
    std::fflush(stdout);
    QObject::connect(&server, &SimServer::ptyReopened, [](const QString& path) {
        std::printf("tuvik-sim: pty %s (after a hang-up)\n", qPrintable(path));
        std::fflush(stdout);
    });

    const int rc = QCoreApplication::exec();
    server.Stop();
    std::printf("tuvik-sim: stopped\n");
    std::fflush(stdout);
    return rc;
}
