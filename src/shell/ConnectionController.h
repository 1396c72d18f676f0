#pragma once
// The links to the device and what the connection panel decides, without a
// widget: the controller makes the serial link (for the whole run) and a TCP
// link at every TCP connect, opens and closes them and makes one active;
// which link the connect button opens and with which settings, what it
// stores, that the burner window is loaded after a connect, and the button's
// caption. It also keeps the active link retrying after a loss (with a line
// in the message log for the loss and for the return) and routes every
// link's reports to the shell: LinkConnected, the title bar, message boxes.
//
// The links' windows only show them; what a window does for a connect it is
// told through ConnectionWindows, which the window registry implements.

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "shell/ConnectionSettings.h"

namespace tuvik {

class AppContext;
class MessageLog;

class ConnectionWindows {
  public:
    virtual ~ConnectionWindows() = default;
    // A new TCP link window in place of the previous one, showing the link
    // and the relay address, shown.
    virtual void ShowTcpLink(TcpLink& link, const QString& relayHost) = 0;
    // The burner window loaded (not shown), as after every connect.
    virtual void LoadBurnerWindow() = 0;
};

class ConnectionController : public QObject {
    Q_OBJECT
  public:
    // clock: the session's, given to every link attached.
    ConnectionController(AppContext& ctx, MessageLog& log, const Clock& clock,
                         QObject* parent = nullptr);
    ~ConnectionController() override;

    // The serial link, from the start to EndLinks.
    SerialLink* serialLink() const { return serial_.get(); }
    // The TCP link of the latest TCP connect; null before the first.
    TcpLink* tcpLink() const { return tcp_.get(); }
    // The end of the program: the links go (an open port is closed).
    void EndLinks();
    // Broken packets over every link of the run, those already gone included.
    quint64 BrokenPackets() const;

    void setWindows(ConnectionWindows* windows) { windows_ = windows; }
    ConnectionWindows* windows() const { return windows_; }
    // The settings store; the platform's own under "VUD_OV" unless set.
    void setSettingsOpener(SettingsOpener open);
    const SettingsOpener& settingsOpener() const { return openSettings_; }

    // The three boxes and the TCP check box as the operator left them.
    const ConnectionTexts& texts() const { return texts_; }
    void setTexts(const ConnectionTexts& texts) { texts_ = texts; }
    void setUseTcp(bool on) { useTcp_ = on; }
    // The relay address typed into the TCP link window; kept for the next one.
    void setRelayHost(const QString& host) { relay_.host = host; }
    // The relay's port and watch period are fixed; tests point them at their
    // own relay.
    void setRelay(const TcpSettings& relay) { relay_ = relay; }

    // The texts in the settings store, each missing one given its default;
    // nothing when there is no store.
    std::optional<ConnectionTexts> StoredTexts() const;
    // What the links are opened with, read from the boxes.
    SerialSettings Serial() const;
    TcpSettings Relay() const;

    // A link goes by the session's clock and its reports go to the shell
    // from now on: whether it is connected
    // (LinkConnected), its title-bar lines, its notices for a message box.
    // A live link (one to the device, not a replay) is also remembered, so
    // that CloseLiveLinks finds it.
    void Attach(DeviceLink& link, bool live = true);
    // Every live link closed, whatever its state (connected, connecting,
    // retrying), and cut off from the reply receiver.
    void CloseLiveLinks();

    // The connect button: with the caption "Connect", the TCP link (a new
    // one, in a new window) or the serial link (the boxes stored first) is
    // made the active link and opened, and the burner window is loaded; with
    // "Disconnect", the active link is disconnected.
    void Toggle();
    // The burner loaded, as after every connect and at the start of a
    // replay: burnerLoading for the session's burner model, then the
    // burner window.
    void LoadBurner();
    // The TCP link window's own buttons: connect, and the relay's refresh.
    // While sending is refused (a replay) the operator is told why and
    // nothing is opened or sent.
    void OpenRelay();
    void RefreshRelay();

    // "Disconnect" while LinkConnected or while a lost link is retried (the
    // button then stops the retries), else "Connect".
    const QString& buttonCaption() const { return caption_; }

  signals:
    void buttonCaptionChanged(const QString& caption);
    void burnerLoading();

  private:
    void WatchActiveLink(DeviceLink* link);
    void UpdateCaption();
    bool Refused();
    void Retire(const DeviceLink* link);

    AppContext& ctx_;
    MessageLog& log_;
    const Clock& clock_;
    ConnectionWindows* windows_ = nullptr;
    SettingsOpener openSettings_;
    ConnectionTexts texts_;
    bool useTcp_ = false;
    TcpSettings relay_;
    QString caption_;
    QList<QMetaObject::Connection> activeWatch_;
    QList<QPointer<DeviceLink>> live_;
    std::unique_ptr<SerialLink> serial_;
    std::unique_ptr<TcpLink> tcp_;  // a new one at every TCP connect
    quint64 brokenOfGoneLinks_ = 0;
};

}  // namespace tuvik
