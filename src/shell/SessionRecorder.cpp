#include "shell/SessionRecorder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mutex>
#include <vector>

#include "shell/AppContext.h"
#include "support/MessageLog.h"

namespace tuvik {

namespace {

QString ToolVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(TUVIK_VERSION_MAJOR)
        .arg(TUVIK_VERSION_MINOR)
        .arg(TUVIK_VERSION_PATCH);
}

QString FileSha256(const QString& path) {
    QFile f(path);
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly) || !h.addData(&f)) {
        return {};
    }
    return QString::fromLatin1(h.result().toHex());
}

}  // namespace

// What the writer threads report (a recording's file closed, with the
// failure if any) waits here until the window's thread takes it.
struct SessionRecorder::Sink {
    struct Report {
        QString path;
        QString failure;
    };
    std::mutex mutex;
    SessionRecorder* target = nullptr;  // null once the recorder is going
    std::vector<Report> reports;
};

SessionRecorder::SessionRecorder(AppContext& ctx, MessageLog& log, const QString& folder,
                                 QObject* parent)
    : QObject(parent),
      ctx_(ctx),
      log_(log),
      folder_(folder),
      openSettings_(DefaultSettingsOpener()),
      sink_(std::make_shared<Sink>()) {
    sink_->target = this;
    pruneTimer_.setInterval(kPruneMs);
    connect(&pruneTimer_, &QTimer::timeout, this, &SessionRecorder::Prune);
    connect(&ctx_, &AppContext::activeLinkChanged, this, &SessionRecorder::WatchLink);
    connect(&ctx_, &AppContext::linkConnectedChanged, this, &SessionRecorder::ConnectedChanged);
    WatchLink(ctx_.activeLink());
}

SessionRecorder::~SessionRecorder() {
    if (tapped_ && tapped_->tap() == this) {
        tapped_->SetTap(nullptr);
    }
    Stop();
    // The program ends: the last frame is worth a short wait, and a failure
    // in it is still told.
    RecordingWriter::WaitForFinished(kExitWaitMs);
    TakeReports();
    std::lock_guard lock(sink_->mutex);
    sink_->target = nullptr;
}

void SessionRecorder::setSettingsOpener(SettingsOpener open) {
    openSettings_ = open ? std::move(open) : DefaultSettingsOpener();
}

int SessionRecorder::limitMb() const {
    if (const std::unique_ptr<QSettings> store = openSettings_()) {
        return LoadRecordingLimitMb(*store);
    }
    return RecordingFolder::kDefaultLimitMb;
}

void SessionRecorder::setLimitMb(int mb) {
    if (const std::unique_ptr<QSettings> store = openSettings_()) {
        SaveRecordingLimitMb(*store, mb);
    }
    Prune();
}

QStringList SessionRecorder::Spared() const {
    QStringList spared = finishing_;
    for (const QString& p : {current_, replayed_}) {
        if (!p.isEmpty()) {
            spared << p;
        }
    }
    return spared;
}

void SessionRecorder::Prune() {
    folder_.Prune(static_cast<qint64>(limitMb()) * 1024 * 1024, Spared());
}

QList<RecordingEntry> SessionRecorder::WouldRemove(int mb) const {
    return folder_.PruneCandidates(static_cast<qint64>(mb) * 1024 * 1024, Spared());
}

std::optional<QString> SessionRecorder::LimitQuestion(int mb) const {
    const QList<RecordingEntry> going = WouldRemove(mb);
    if (going.isEmpty()) {
        return std::nullopt;
    }
    return RecordingFolder::RemoveQuestion(going);
}

void SessionRecorder::WatchLink(DeviceLink* link) {
    if (tapped_ == link) {
        return;
    }
    Stop();
    if (tapped_ && tapped_->tap() == this) {
        tapped_->SetTap(nullptr);
    }
    tapped_ = link;
    if (link && !link->ConnectionInfo().linkKind.isEmpty()) {
        link->SetTap(this);
        if (ctx_.LinkConnected()) {
            Start(*link);
        }
    }
}

void SessionRecorder::ConnectedChanged(bool connected) {
    if (!connected) {
        Stop();
    } else if (tapped_ && tapped_->tap() == this && !writer_) {
        Start(*tapped_);
    }
}

void SessionRecorder::Start(DeviceLink& link) {
    RecordingInfo info = link.ConnectionInfo();
    info.toolVersion = ToolVersion();
    if (!paramsFile_.isEmpty()) {
        info.paramsName = QFileInfo(paramsFile_).fileName();
        info.paramsChecksum = FileSha256(paramsFile_);
    }
    const QDateTime now = QDateTime::currentDateTime();
    info.startUtcMs = now.toMSecsSinceEpoch();
    const qint64 monoStart = link.clock().MonotonicUs();

    const QString path = folder_.NewPath(now, info.endpoint);
    auto writer = std::make_unique<RecordingWriter>();
    // Reported whatever became of the link meanwhile: the report names its
    // recording, not the connection.
    writer->setOnEnd([sink = sink_, path](const QString& why) {
        std::lock_guard lock(sink->mutex);
        sink->reports.push_back({path, why});
        if (SessionRecorder* target = sink->target) {
            QMetaObject::invokeMethod(
                target, [target] { target->TakeReports(); }, Qt::QueuedConnection);
        }
    });
    std::optional<QString> err;
    if (!QDir().mkpath(folder_.dir())) {
        err = QStringLiteral("cannot create the folder");
    } else {
        err = writer->Open(path, info, monoStart, flushMs_);
    }
    if (err) {
        // A connection that fails the same way again adds no second line.
        if (!failed_) {
            Stopped(path, *err);
        }
        failed_ = true;
        return;
    }
    writer_ = std::move(writer);
    current_ = path;
    failed_ = false;
    ctx_.setStatusNote(QStringLiteral("recording"), {});
    Prune();
    pruneTimer_.start();
}

void SessionRecorder::Stop() {
    pruneTimer_.stop();
    if (!writer_) {
        return;
    }
    finishing_ << current_;
    writer_->Finish();
    writer_.reset();
    current_.clear();
}

void SessionRecorder::TakeReports() {
    std::vector<Sink::Report> taken;
    {
        std::lock_guard lock(sink_->mutex);
        taken.swap(sink_->reports);
    }
    for (const Sink::Report& r : taken) {
        if (writer_ && r.path == current_) {
            // Failed while recording: the writer has ended already.
            pruneTimer_.stop();
            writer_->Finish();
            writer_.reset();
            current_.clear();
        }
        finishing_.removeOne(r.path);
        if (!r.failure.isEmpty()) {
            Stopped(r.path, r.failure);
        }
    }
    if (!taken.empty()) {
        Prune();
    }
}

void SessionRecorder::Stopped(const QString& path, const QString& why) {
    log_.AddMessage(QStringLiteral("Recording stopped: ") + why + QStringLiteral(" (") +
                    QDir::toNativeSeparators(path) + u')');
    if (!writer_) {
        ctx_.setStatusNote(QStringLiteral("recording"), QStringLiteral("not recording"));
    }
}

void SessionRecorder::Chunk(ChunkDirection direction, std::span<const uint8_t> bytes,
                            qint64 monoUs) {
    if (writer_) {
        writer_->Chunk(direction, bytes, monoUs);
    }
}

}  // namespace tuvik
