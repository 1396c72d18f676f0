// tuvik-monitor: the always-on service beside the burner. Reads its INI file
// (and the command line's overrides), refuses a bad one with exit status 2
// before anything is opened, then records, keeps the history and polls the
// controller until SIGTERM or SIGINT. Under systemd (Type=notify) it tells
// READY=1 once the configuration and the data folder are set up, pings the
// watchdog from the event loop and tells STOPPING=1 on the way out.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <signal.h>
#include <sys/signalfd.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cstdio>
#include <chrono>
#include <memory>
#include <thread>

#include "monitor/DeviceId.h"
#include "monitor/MonitorConfigReader.h"
#include "monitor/MonitorService.h"
#include "monitor/MqttBridge.h"
#include "monitor/RelayServer.h"

using namespace tuvik;
using namespace tuvik::monitor;

namespace {

constexpr int kConfigRefused = 2;

int Refuse(const QString& why) {
    MonitorService::Log(QStringLiteral("configuration refused: ") + why);
    return kConfigRefused;
}

}  // namespace

int main(int argc, char** argv) {
    // The signals arrive through a descriptor the event loop watches; blocked
    // before any thread starts, so that every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tuvik-monitor"));
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                                .arg(TUVIK_VERSION_MAJOR)
                                                .arg(TUVIK_VERSION_MINOR)
                                                .arg(TUVIK_VERSION_PATCH));

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral(
        "Records, keeps the history of and publishes a Tuvik controller and its burner."));
    cli.addHelpOption();
    cli.addVersionOption();
    const QCommandLineOption configOpt(
        QStringLiteral("config"),
        QStringLiteral("The INI file (default %1).").arg(MonitorConfigReader::kDefaultPath),
        QStringLiteral("file"), QString::fromLatin1(MonitorConfigReader::kDefaultPath));
    const QCommandLineOption checkOpt(
        QStringLiteral("check-config"),
        QStringLiteral("Print the configuration in force (secrets masked) and exit: 0 when it "
                       "is good, 2 naming the key that is wrong."));
    const QCommandLineOption paramsOpt(
        QStringLiteral("params"), QStringLiteral("The burner's PARAMS.h."), QStringLiteral("file"));
    const QCommandLineOption setOpt(
        QStringLiteral("set"),
        QStringLiteral("Overrides one key of the file, e.g. --set link.serial=/dev/ttyUSB0 "
                       "(may be repeated)."),
        QStringLiteral("section.name=value"));
    cli.addOptions({configOpt, checkOpt, paramsOpt, setOpt});
    cli.process(app);

    MonitorConfig config;
    const QString configPath = cli.value(configOpt);
    QFile file(configPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return Refuse(QStringLiteral("%1 cannot be read").arg(configPath));
    }
    if (const auto e = MonitorConfigReader::Read(file.readAll(), config)) {
        return Refuse(configPath + QLatin1Char(' ') + e->Text());
    }
    for (const QString& assignment : cli.values(setOpt)) {
        if (const auto e = MonitorConfigReader::SetAssignment(assignment, config)) {
            return Refuse(QStringLiteral("--set ") + e->Text());
        }
    }
    if (cli.isSet(paramsOpt)) {
        config.paramsFile = cli.value(paramsOpt);
        if (!QFile::exists(config.paramsFile)) {
            return Refuse(QStringLiteral("--params: \"%1\" does not exist").arg(config.paramsFile));
        }
    }
    if (const auto e = MonitorConfigReader::Validate(config)) {
        return Refuse(e->Text());
    }
    if (const auto e = MonitorConfigReader::ReadSecrets(config)) {
        return Refuse(e->Text());
    }
    const QString deviceId = DeviceIdFor(config, QHostInfo::localHostName());
    if (cli.isSet(checkOpt)) {
        const QByteArray text = (MonitorConfigReader::Describe(config) +
                                 QStringLiteral("device id in force = ") + deviceId + u'\n')
                                    .toUtf8();
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        return 0;
    }

    MonitorService service(config, deviceId);
    if (const QString why = service.Prepare(); !why.isEmpty()) {
        MonitorService::Log(why);
        return 1;
    }

    // The broker is reached in the background (never waited for); the
    // relay's listener is part of being ready.
    std::unique_ptr<MqttBridge> mqtt;
    if (!config.mqtt.host.isEmpty()) {
        mqtt = std::make_unique<MqttBridge>(service.session(), config, deviceId, config.dataDir);
        if (!config.mqtt.password.isEmpty()) {
            mqtt->setPassword(config.mqtt.password);
        }
        if (QString why; !mqtt->Start(&why)) {
            MonitorService::Log(QStringLiteral("MQTT: ") + why);
            return 1;
        }
        // Its refusals on one line each, as every other event.
        mqtt->client()->setLog(&MonitorService::Log);
    }
    std::unique_ptr<RelayServer> relay;
    if (config.relay.on) {
        relay = std::make_unique<RelayServer>(service.session(), config.relay);
        relay->setLog(&MonitorService::Log);
        if (const auto why = relay->Start()) {
            MonitorService::Log(*why);
            return 1;
        }
    }

    const int sigFd = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (sigFd < 0) {
        MonitorService::Log(QStringLiteral("signalfd failed"));
        return 1;
    }
    QSocketNotifier stopNotifier(sigFd, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info{};
        if (read(sigFd, &info, sizeof info) != sizeof info) {
            return;
        }
        stopNotifier.setEnabled(false);
        MonitorService::Log(QStringLiteral("stopping on %1")
                                .arg(info.ssi_signo == SIGTERM ? QStringLiteral("SIGTERM")
                                                               : QStringLiteral("SIGINT")));
        sd_notify(0, "STOPPING=1");
        // Whatever holds the files up (a slow card), the service is gone
        // within two seconds of the signal; a stop cut short says so and
        // does not end as a clean one.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1900));
            static const char kLine[] =
                "stop: the files were not all written within 2 s; ending without them\n";
            (void)!write(STDERR_FILENO, kLine, sizeof kLine - 1);
            _exit(1);
        }).detach();
        relay.reset();
        if (mqtt) {
            mqtt->Stop();  // "offline", waited for at most half a second
        }
        service.Stop();
        app.quit();
    });

    QTimer watchdog;
    uint64_t watchdogUs = 0;
    if (sd_watchdog_enabled(0, &watchdogUs) > 0 && watchdogUs > 0) {
        QObject::connect(&watchdog, &QTimer::timeout, [] { sd_notify(0, "WATCHDOG=1"); });
        watchdog.start(static_cast<int>(watchdogUs / 2000));
    }
    sd_notify(0, "READY=1");
    MonitorService::Log(QStringLiteral("ready"));
    service.Connect();
    const int status = app.exec();
    close(sigFd);
    return status;
}
