#pragma once
// The relay the desktop tool's TCP link speaks to: the monitor lends its
// link to the controller to one desktop at a time. From the moment the
// link is free (no exchange of the monitor's under way) until the desktop
// leaves, the desktop's bytes go to the controller in order from one queue,
// and every byte from the controller goes to the desktop; the monitor
// writes nothing of its own meanwhile (DeviceLink::Lend) but keeps framing,
// recording and keeping what passes, and it follows the desktop's loop
// selections so that live values are filed under the loop the controller
// reports. "DG" at a packet boundary is the desktop's command to the relay
// and goes no further. When the desktop leaves, the monitor waits for a
// quiet line, selects its own loop again and polls as before.
//
// The newest desktop wins: a technician whose connection dropped is not
// locked out. A connection from outside the allow list is closed before a
// byte is read.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <optional>

#include "link/DeviceLink.h"
#include "link/RxState.h"
#include "monitor/AllowList.h"
#include "monitor/MonitorConfig.h"
#include "support/LineThrottle.h"

namespace tuvik {
class Session;
}

namespace tuvik::monitor {

class RelayServer : public QObject, private LinkBorrower, private RxSink {
    Q_OBJECT
  public:
    // The line is quiet after this long without a byte from the controller,
    // and the monitor waits for that at most this long (a controller that
    // keeps talking on its own does not keep the monitor off its line).
    static constexpr int kQuietLineMs = 200;
    static constexpr int kQuietLineMaxMs = 2000;
    // How often a waiting desktop looks whether the monitor's exchange is over.
    static constexpr int kLendRetryMs = 10;
    // A desktop that has more than this waiting is dropped.
    static constexpr qsizetype kMaxQueued = 64 * 1024;

    RelayServer(Session& session, const RelayConfig& config, QObject* parent = nullptr);
    // The desktop is closed and the link given back.
    ~RelayServer() override;

    // Listens on the configured address and port; why it cannot, otherwise.
    std::optional<QString> Start();
    // The port listened on (a configured port 0 takes a free one).
    quint16 port() const { return server_.serverPort(); }

    bool desktopConnected() const { return desktop_ != nullptr; }
    // The link is lent to a desktop, or still kept after it left until the
    // line is quiet.
    bool lending() const { return lent_ != nullptr; }

    // Log lines (one per event); stderr unless set.
    void setLog(std::function<void(const QString&)> log) { log_ = std::move(log); }
    // Tests shorten the wait for a quiet line.
    void setQuietLine(int ms, int maxMs) {
        quietMs_ = ms;
        quietMaxMs_ = maxMs;
    }

  signals:
    void desktopChanged(bool connected);
    // The link went to the desktop (true) or came back to the monitor (false).
    void lendingChanged(bool lent);

  private:
    // LinkBorrower
    void FromDevice(std::span<const uint8_t> bytes) override;
    // RxSink: the desktop's requests, framed to find the packet boundaries.
    void OnPacket(uint8_t command, std::span<const uint8_t> data) override;
    void OnBrokenPacket(uint8_t, int, uint8_t) override {}

    void OnNewConnections();
    void Take(QTcpSocket* socket);
    void DropDesktop();
    void OnDesktopBytes();
    // The desktop goes, with the line that says why; the line settles
    // before the monitor takes its link back.
    void Leave(const QString& line);
    void TryLend();
    void Drain();
    void GiveBack();
    void OnActiveLinkChanged(DeviceLink* link);
    void Log(const QString& line) const;
    QString PeerText(const QTcpSocket& socket) const;

    Session& session_;
    RelayConfig config_;
    AllowList allow_;
    std::optional<QString> allowError_;
    QTcpServer server_;
    QPointer<QTcpSocket> desktop_;
    QPointer<DeviceLink> lent_;
    RxState framer_;
    QByteArray queue_;    // the desktop's bytes as they came, not yet framed
    QByteArray unit_;     // the packet being framed: it goes once it is whole
    bool heldD_ = false;  // a "D" at a boundary: the relay's command if a "G" follows
    int ownLoop_ = -1;    // the monitor's loop when the desktop came
    QTimer lendRetry_;
    QTimer quiet_;
    QElapsedTimer quietSince_;
    int quietMs_ = kQuietLineMs;
    int quietMaxMs_ = kQuietLineMaxMs;
    LineThrottle refusedLines_;
    std::function<void(const QString&)> log_;
};

}  // namespace tuvik::monitor
