#pragma once
// Puts a recording in place of the serial or TCP link: every live link is
// closed (also one still connecting or retrying) and cut off from the reply
// receiver, a ReplayLink becomes the active link with that receiver, and the
// windows show the recorded session as they showed it live. While it plays
// nothing may be sent (the exchange guard refuses every send with
// RefusalText()). Stopping leaves no active link; the operator connects
// again as usual.
//
// A replay is refused while something works with the live controller: an
// exchange, or whatever registered itself with AddLiveWork (the step test).

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "link/RecordedChunk.h"
#include "link/ReplayLink.h"

namespace tuvik {

class AppContext;
class ConnectionController;

class ReplayController : public QObject {
    Q_OBJECT
  public:
    ReplayController(AppContext& ctx, ConnectionController& connection, QObject* parent = nullptr);
    ~ReplayController() override;

    // Opens the file and starts replaying it; the reason when it does not
    // (a recording of another format: the reader says why).
    std::optional<QString> Open(const QString& path);
    // Starts replaying `source` under `name` (read from the file `path`, if
    // any); the reason when refused (an exchange or live work still running).
    std::optional<QString> Start(std::unique_ptr<RecordedChunkSource> source, const QString& name,
                                 const QString& path = {});
    void Stop();

    // What runs on the live controller now, in words ("A step test is
    // running: ..."), empty when nothing; asked before every replay for as
    // long as `owner` lives.
    using LiveWork = std::function<QString()>;
    void AddLiveWork(const QObject* owner, LiveWork work);
    // The first live work that runs, or the running exchange; empty for none.
    QString Running() const;

    ReplayLink* link() const { return link_; }
    // The file being replayed; empty for none or a recording not read from a file.
    const QString& path() const { return path_; }

    static QString RefusalText() {
        return QStringLiteral("not sent: a recording is being replayed");
    }

  signals:
    void replayingChanged(bool on);

  private:
    AppContext& ctx_;
    ConnectionController& connection_;
    QPointer<ReplayLink> link_;
    QString path_;
    std::vector<std::pair<QPointer<const QObject>, LiveWork>> work_;
};

}  // namespace tuvik
