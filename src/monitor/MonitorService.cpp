#include "monitor/MonitorService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cstdio>

#include "link/Packet.h"
#include "shell/RecordingFolder.h"

namespace tuvik::monitor {

namespace {

AppPaths MonitorPaths(const MonitorConfig& c) {
    // PARAMS.h: the data folder, /etc/tuvik, then where the desktop's
    // installed copy looks.
    const QString program = QCoreApplication::applicationDirPath();
    AppPaths paths(program, c.dataDir,
                   {c.dataDir, QStringLiteral("/etc/tuvik"),
                    QDir(program).filePath(QStringLiteral("../share/tuvik"))});
    if (!c.paramsFile.isEmpty()) {
        paths.setParamsHeaderPath(c.paramsFile);
    }
    return paths;
}

}  // namespace

void MonitorService::Log(const QString& line) {
    const QByteArray bytes = line.simplified().toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

MonitorService::MonitorService(const MonitorConfig& config, const QString& deviceId,
                               QObject* parent)
    : QObject(parent), config_(config), deviceId_(deviceId) {
    openRetry_.setInterval(kOpenRetryMs);
    connect(&openRetry_, &QTimer::timeout, this, &MonitorService::RetryOpen);
}

MonitorService::~MonitorService() {
    Stop();
}

QString MonitorService::Prepare() {
    if (!QDir().mkpath(config_.dataDir) || !QFileInfo(config_.dataDir).isWritable()) {
        return QStringLiteral("data.dir: %1 cannot be made or written").arg(config_.dataDir);
    }
    session_ = std::make_unique<Session>(MonitorPaths(config_));
    Session& s = *session_;
    const QString store = QDir(config_.dataDir).filePath(QLatin1String(kStoreName));
    const SettingsOpener open = [store] {
        return std::make_unique<QSettings>(store, QSettings::IniFormat);
    };
    s.connection().setSettingsOpener(open);
    s.recorder().setSettingsOpener(open);
    s.recorder().setLimitMb(config_.recordingsLimitMb);
    s.history().setRetentionDays(config_.historyKeepDays);
    s.history().setClockGuard(true);
    s.burner().measLog().setSaving(config_.measurementsFile);

    AppContext& ctx = s.ctx();
    connect(&ctx, &AppContext::userNotice, this, [](const QString& text) { Log(text); });
    connect(&s.history(), &HistoryStore::failed, this,
            [](const QString& why) { Log(QStringLiteral("history stopped: ") + why); });
    connect(&s.history(), &HistoryStore::clockHeldChanged, this, [&s](bool held) {
        Log(held ? QStringLiteral("history held: the clock reads %1, before 2024 or just jumped")
                       .arg(s.clock().SystemNow().toUTC().toString(Qt::ISODate))
                 : QStringLiteral("history goes on: the clock is steady"));
    });
    connect(&ctx, &AppContext::activeLinkChanged, this, &MonitorService::WatchLink);
    connect(&ctx, &AppContext::linkConnectedChanged, this, [this](bool up) {
        if (up) {
            openFailTold_ = false;
            // After the link's own start-up requests have gone.
            QTimer::singleShot(0, this, &MonitorService::SelectLoop);
        }
    });

    s.Start();
    s.loops().InitialiseStartupLoops();
    s.loops().SetSelectedIndex(config_.link.loop);
    ConnectionController& c = s.connection();
    const bool tcp = !config_.link.tcp.isEmpty();
    c.setTexts({config_.link.serial, QString::number(config_.link.speed),
                QString::number(config_.link.refreshMs)});
    c.setUseTcp(tcp);
    if (tcp) {
        const qsizetype colon = config_.link.tcp.lastIndexOf(QLatin1Char(':'));
        TcpSettings relay;
        relay.host = config_.link.tcp.left(colon).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
        relay.port = static_cast<quint16>(config_.link.tcp.mid(colon + 1).toUInt());
        c.setRelay(relay);
    }
    Log(QStringLiteral("data in %1, history %2, device id %3")
            .arg(config_.dataDir, s.history().databasePath(), deviceId_));
    return {};
}

void MonitorService::Connect() {
    if (!session_ || stopped_) {
        return;
    }
    Log(QStringLiteral("opening %1")
            .arg(config_.link.tcp.isEmpty() ? QStringLiteral("serial port ") + config_.link.serial
                                            : QStringLiteral("relay ") + config_.link.tcp));
    session_->connection().Toggle();
    openRetry_.start();
}

void MonitorService::RetryOpen() {
    ConnectionController& c = session_->connection();
    if (c.buttonCaption() == QStringLiteral("Disconnect")) {
        return;  // connected, or the link retries by itself
    }
    if (const TcpLink* tcp = c.tcpLink();
        tcp && !config_.link.tcp.isEmpty() &&
        (tcp->socketState() != QAbstractSocket::UnconnectedState ||
         const_cast<TcpLink*>(tcp)->TimerConnectionMaker().isActive())) {
        return;  // still trying
    }
    if (!openFailTold_) {
        Log(QStringLiteral("the link is not open; trying every %1 s").arg(kOpenRetryMs / 1000));
        openFailTold_ = true;
    }
    c.Toggle();
}

void MonitorService::SelectLoop() {
    if (!session_ || stopped_) {
        return;
    }
    DeviceLink* link = session_->ctx().activeLink();
    if (link && session_->ctx().LinkConnected()) {
        const int loop = config_.link.loop;
        link->Send(Cmd::SelectLoop) && link->Send(1) && link->Send(loop) &&
            link->Send(Cmd::SelectLoop, true);
    }
}

void MonitorService::WatchLink(DeviceLink* link) {
    for (const QMetaObject::Connection& w : linkWatch_) {
        disconnect(w);
    }
    linkWatch_.clear();
    if (!link) {
        return;
    }
    linkWatch_ << connect(link, &DeviceLink::linkLost, this, [link](const QString& why) {
        Log(QStringLiteral("link lost: %1 (%2); trying again").arg(link->Endpoint(), why));
    });
    linkWatch_ << connect(link, &DeviceLink::connectionChanged, this, [link](bool up) {
        if (up) {
            Log(QStringLiteral("link up: ") + link->Endpoint());
        }
    });
}

void MonitorService::Stop() {
    if (stopped_ || !session_) {
        stopped_ = true;
        return;
    }
    stopped_ = true;
    openRetry_.stop();
    Session& s = *session_;
    s.history().holdPruning();
    // The link's close ends the recording and closes the history's seconds.
    s.connection().CloseLiveLinks();
    s.burner().measLog().Flush();
    s.history().Sync();
    Log(QStringLiteral("stopped"));
}

}  // namespace tuvik::monitor
