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
// folder that is not writable, a failed sync), it stops with one line in the
// message log and a note in the status line; nothing else changes. A write
// that fails while the recording is being closed (the link went down) is
// told the same way.
//
// Closing never waits for the writer thread (its sync may take seconds on a
// slow stick): the thread writes the last frame and closes the file on its
// own. The end of the program waits for that at most kExitWaitMs.

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
    static constexpr int kExitWaitMs = 3000;

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
    // What a limit of mb would remove now, and the question to ask before
    // (none when nothing would go).
    QList<RecordingEntry> WouldRemove(int mb) const;
    std::optional<QString> LimitQuestion(int mb) const;
    // The recording being replayed (empty for none): never removed.
    void setReplayed(const QString& path) { replayed_ = path; }

    // A recording is open, or its last frame is still being written.
    bool recording() const { return writer_ != nullptr || !finishing_.isEmpty(); }
    const QString& currentPath() const { return current_; }

    // LinkTap
    void Chunk(ChunkDirection direction, std::span<const uint8_t> bytes, qint64 monoUs) override;

  private:
    struct Sink;
    void WatchLink(DeviceLink* link);
    void ConnectedChanged(bool connected);
    void Start(DeviceLink& link);
    void Stop();
    void Stopped(const QString& path, const QString& why);
    // Handles what the writer threads reported since the last call.
    void TakeReports();
    QStringList Spared() const;

    AppContext& ctx_;
    MessageLog& log_;
    RecordingFolder folder_;
    SettingsOpener openSettings_;
    QString paramsFile_;
    int flushMs_ = RecordingWriter::kFlushMs;
    QPointer<DeviceLink> tapped_;
    std::unique_ptr<RecordingWriter> writer_;
    QString current_;
    QStringList finishing_;  // closed here, their last frames still being written
    QString replayed_;
    std::shared_ptr<Sink> sink_;  // the writer threads' way back
    bool failed_ = false;         // the last recording could not be made; told once
    QTimer pruneTimer_;
};

}  // namespace tuvik
