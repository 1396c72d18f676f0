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

    // Opens the file and starts replaying it; the reason when it does not.
    std::optional<QString> Open(const QString& path);
    // Starts replaying `source` under `name`; the reason when refused (a
    // format this program does not read, an exchange still running). The
    // recording reader refuses another format already; a source of another
    // kind is held to the same rule here.
    std::optional<QString> Start(std::unique_ptr<RecordedChunkSource> source, const QString& name);
    void Stop();

    ReplayLink* link() const { return link_; }
    bool replaying() const { return link_ != nullptr; }

    static QString RefusalText() {
        return QStringLiteral("not sent: a recording is being replayed");
    }
    // Why a recording cannot be replayed, nothing when it can.
    static std::optional<QString> FormatRefusal(const RecordingInfo& info);

  signals:
    void replayingChanged(bool on);

  private:
    AppContext& ctx_;
    ConnectionController& connection_;
    QPointer<ReplayLink> link_;
};

}  // namespace tuvik
