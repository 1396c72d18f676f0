#include "shell/ReplayController.h"

#include <QFileInfo>

#include "link/RecordingReader.h"
#include "shell/AppContext.h"
#include "shell/ConnectionController.h"
#include "support/ExchangeGuard.h"
#include "support/FrameThrottle.h"

namespace tuvik {

ReplayController::ReplayController(AppContext& ctx, ConnectionController& connection,
                                   QObject* parent)
    : QObject(parent), ctx_(ctx), connection_(connection) {}

ReplayController::~ReplayController() {
    Stop();
}

std::optional<QString> ReplayController::Open(const QString& path) {
    QString error;
    std::unique_ptr<RecordedChunkSource> source = RecordingReader::Open(path, &error);
    if (!source) {
        return QStringLiteral("The recording %1 cannot be replayed: %2")
            .arg(QFileInfo(path).fileName(), error);
    }
    return Start(std::move(source), QFileInfo(path).fileName(), path);
}

void ReplayController::AddLiveWork(const QObject* owner, LiveWork work) {
    work_.emplace_back(owner, std::move(work));
}

QString ReplayController::Running() const {
    for (const auto& [owner, work] : work_) {
        if (owner) {
            if (QString what = work(); !what.isEmpty()) {
                return what;
            }
        }
    }
    return ExchangeGuard::Busy() ? ExchangeGuard::BusyMessage() : QString();
}

std::optional<QString> ReplayController::Start(std::unique_ptr<RecordedChunkSource> source,
                                               const QString& name, const QString& path) {
    Stop();
    // A transfer half done would be cut off by the link going away, and a
    // step test would take recorded values for live ones: the operator ends
    // them first.
    if (const QString running = Running(); !running.isEmpty()) {
        return running;
    }
    // None of them may go on polling or hand replies into the replay's windows.
    connection_.CloseLiveLinks();
    path_ = path;
    auto* link = new ReplayLink(std::move(source), this);
    link->setName(name);
    link_ = link;
    connection_.Attach(*link, false);
    ctx_.setActiveLink(link);
    ExchangeGuard::RefuseSending(RefusalText());
    // Disconnecting the replay (the connect button does) ends it.
    connect(link, &DeviceLink::connectionChanged, this, [this](bool on) {
        if (!on) {
            Stop();
        }
    });
    // A seek plays through a stretch nobody watches: the screen's repaints
    // wait until it ends.
    connect(link, &ReplayLink::seekingChanged, this, &FrameThrottle::SetSuspended);
    connect(link, &ReplayLink::endReached, this, [this](const QString& reason) {
        if (!reason.isEmpty()) {
            ctx_.notifyUser(QStringLiteral("The replay stopped before the end of the recording: ") +
                            reason);
        }
    });
    // The burner window takes the recorded measurements as it takes live ones.
    connection_.LoadBurner();
    emit replayingChanged(true);
    link->Start();
    return std::nullopt;
}

void ReplayController::Stop() {
    ReplayLink* link = link_;
    if (!link) {
        return;
    }
    link_ = nullptr;  // the disconnect below comes back here
    path_.clear();
    link->Disconnect();
    if (ctx_.activeLink() == link) {
        ctx_.setActiveLink(nullptr);
    }
    ExchangeGuard::RefuseSending({});
    link->deleteLater();
    emit replayingChanged(false);
}

}  // namespace tuvik
