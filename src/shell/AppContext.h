#pragma once
// The process-wide state that the windows and the links share: the active
// link, whether the serial port is connected, where replies go, and the
// channels through which core code reaches the main window and the user.

#include <QObject>
#include <QPointer>
#include <QString>

#include "link/DeviceLink.h"

namespace tuvik {

// The three connection texts that the main window holds.
class LinkSettingsSource {
public:
    virtual ~LinkSettingsSource() = default;
    virtual QString ComPortText() const = 0;
    virtual QString SpeedText() const = 0;
    virtual QString RefreshText() const = 0;
};

// Fixed texts for tests and for running without a main window.
class FixedLinkSettings : public LinkSettingsSource {
public:
    QString comPort = QStringLiteral("2");
    QString speed = QStringLiteral("57600");
    QString refresh = QStringLiteral("333");
    QString ComPortText() const override { return comPort; }
    QString SpeedText() const override { return speed; }
    QString RefreshText() const override { return refresh; }
};

class AppContext : public QObject {
    Q_OBJECT
public:
    explicit AppContext(QObject* parent = nullptr) : QObject(parent) {}

    DeviceLink* activeLink() const { return activeLink_; }
    void setActiveLink(DeviceLink* link);

    bool LinkConnected() const { return linkConnected_; }
    void setLinkConnected(bool on);

    ReplyReceiver* replyReceiver() const { return receiver_; }
    // Every link, present and future, hands its replies to this receiver.
    void setReplyReceiver(ReplyReceiver* r);

    LinkSettingsSource* linkSettings() const { return settings_; }
    void setLinkSettings(LinkSettingsSource* s) { settings_ = s; }

    // A line for the main window's title bar.
    void setMainCaption(const QString& text) { emit mainCaptionRequested(text); }
    // Something the user must be told in a message box.
    void notifyUser(const QString& text) { emit userNotice(text); }

signals:
    void activeLinkChanged(tuvik::DeviceLink* link);
    void linkConnectedChanged(bool connected);
    void mainCaptionRequested(const QString& text);
    void userNotice(const QString& text);

private:
    QPointer<DeviceLink> activeLink_;
    bool linkConnected_ = false;
    ReplyReceiver* receiver_ = nullptr;
    LinkSettingsSource* settings_ = nullptr;
};

}  // namespace tuvik
