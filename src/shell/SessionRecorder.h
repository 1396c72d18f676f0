#pragma once
// The always-on session recorder: while the active link is connected, every
// chunk it reads or writes goes to a recording in the recordings folder, one
// file per connection. The recording's header comes from the link (kind,
// port or relay, speed, refresh period) and the loaded PARAMS.h (its name
// and SHA-256). The folder is kept within its size limit when a recording
// starts or ends, at start-up and every kPruneMs while recording.
//
// A link whose ConnectionInfo() has no kind (a replayed recording) is not
// recorded. When a recording cannot be made or written (a full disk, a
// folder that is not writable), it stops with one line in the message log
// and a note in the status line; nothing else changes.

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

#include "link/DeviceLink.h"
#include "link/RecordingWriter.h"
#include "shell/ConnectionSettings.h"
#include "shell/RecordingFolder.h"

namespace tuvik {

class AppContext;
class MessageLog;

class SessionRecorder : public QObject, public LinkTap {
    Q_OBJECT
  public:
    static constexpr int kPruneMs = 10 * 60 * 1000;

    SessionRecorder(AppContext& ctx, MessageLog& log, const QString& folder,
                    QObject* parent = nullptr);
    ~SessionRecorder() override;

    void setSettingsOpener(SettingsOpener open);
    // The PARAMS.h whose name and checksum the next recordings carry; empty
    // for none.
    void setParamsFile(const QString& path) { paramsFile_ = path; }
    // Tests shorten the writer's flush period.
    void setFlushMs(int ms) { flushMs_ = ms; }

    RecordingFolder& folder() { return folder_; }
    int limitMb() const;
    void setLimitMb(int mb);
    // Keeps the folder within its limit now.
    void Prune();

    bool recording() const { return writer_ != nullptr; }
    const QString& currentPath() const { return current_; }

    // LinkTap
    void Chunk(ChunkDirection direction, std::span<const uint8_t> bytes, qint64 monoUs) override;

  signals:
    void recordingStarted(const QString& path);
    void recordingEnded(const QString& path);

  private:
    void WatchLink(DeviceLink* link);
    void ConnectedChanged(bool connected);
    void Start(DeviceLink& link);
    void Stop();
    void Fail(const QString& why);

    AppContext& ctx_;
    MessageLog& log_;
    RecordingFolder folder_;
    SettingsOpener openSettings_;
    QString paramsFile_;
    int flushMs_ = RecordingWriter::kFlushMs;
    QPointer<DeviceLink> tapped_;
    std::unique_ptr<RecordingWriter> writer_;
    QString current_;
    quint64 generation_ = 0;
    bool failed_ = false;  // the last recording failed; told once
    QTimer pruneTimer_;
};

}  // namespace tuvik
