#include "shell/SessionRecorder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

SessionRecorder::SessionRecorder(AppContext& ctx, MessageLog& log, const QString& folder,
                                 QObject* parent)
    : QObject(parent),
      ctx_(ctx),
      log_(log),
      folder_(folder),
      openSettings_(DefaultSettingsOpener()) {
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

void SessionRecorder::Prune() {
    folder_.Prune(static_cast<qint64>(limitMb()) * 1024 * 1024, current_);
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
    const qint64 monoStart = LinkClockUs();

    const QString path = folder_.NewPath(now, info.endpoint);
    auto writer = std::make_unique<RecordingWriter>();
    const quint64 gen = ++generation_;
    writer->setOnFailure([this, gen](const QString& why) {
        QMetaObject::invokeMethod(
            this,
            [this, gen, why] {
                if (gen == generation_) {
                    Fail(why);
                }
            },
            Qt::QueuedConnection);
    });
    std::optional<QString> err;
    if (!QDir().mkpath(folder_.dir())) {
        err = QStringLiteral("cannot create the folder");
    } else {
        err = writer->Open(path, info, monoStart, flushMs_);
    }
    current_ = path;
    if (err) {
        Fail(*err);
        return;
    }
    writer_ = std::move(writer);
    failed_ = false;
    ctx_.setStatusNote({});
    emit recordingStarted(current_);
    Prune();
    pruneTimer_.start();
}

void SessionRecorder::Stop() {
    pruneTimer_.stop();
    if (!writer_) {
        return;
    }
    ++generation_;
    writer_->Close();
    writer_.reset();
    const QString ended = current_;
    current_.clear();
    emit recordingEnded(ended);
    Prune();
}

void SessionRecorder::Fail(const QString& why) {
    ++generation_;
    pruneTimer_.stop();
    writer_.reset();
    // A connection that fails the same way again adds no second line.
    if (!failed_) {
        log_.AddMessage(QStringLiteral("Recording stopped: ") + why + QStringLiteral(" (") +
                        QDir::toNativeSeparators(current_) + u')');
    }
    failed_ = true;
    ctx_.setStatusNote(QStringLiteral("not recording"));
    current_.clear();
}

void SessionRecorder::Chunk(ChunkDirection direction, std::span<const uint8_t> bytes,
                            qint64 monoUs) {
    if (writer_) {
        writer_->Chunk(direction, bytes, monoUs);
    }
}

}  // namespace tuvik
