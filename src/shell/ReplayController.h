#pragma once
// Puts a recording in place of the serial or TCP link: the live link is
// disconnected, a ReplayLink becomes the active link with the same reply
// receiver, and the windows show the recorded session as they showed it
// live. While it plays nothing may be sent (the exchange guard refuses every
// send with RefusalText()). Stopping leaves no active link; the operator
// connects again as usual.

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

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
    // any); the reason when refused (an exchange still running).
    std::optional<QString> Start(std::unique_ptr<RecordedChunkSource> source, const QString& name,
                                 const QString& path = {});
    void Stop();

    ReplayLink* link() const { return link_; }
    bool replaying() const { return link_ != nullptr; }
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
};

}  // namespace tuvik
