#pragma once
// The shell's process-wide state: the active link, whether it is connected
// (LinkConnected), where replies go, and the channels through which the rest
// of the program reaches the main window's title bar and the user.

#include <QObject>
#include <QPointer>
#include <QString>

#include "link/DeviceLink.h"

namespace tuvik {

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

    // A line for the main window's title bar.
    void setMainCaption(const QString& text) { emit mainCaptionRequested(text); }
    // A short note the status line adds to its text (a recording that
    // stopped); empty for none.
    const QString& statusNote() const { return statusNote_; }
    void setStatusNote(const QString& note) {
        if (note != statusNote_) {
            statusNote_ = note;
            emit statusNoteChanged(note);
        }
    }

    // Something the user must be told in a message box.
    void notifyUser(const QString& text) { emit userNotice(text); }

  signals:
    void activeLinkChanged(tuvik::DeviceLink* link);
    void linkConnectedChanged(bool connected);
    void mainCaptionRequested(const QString& text);
    void userNotice(const QString& text);
    void statusNoteChanged(const QString& note);

  private:
    QPointer<DeviceLink> activeLink_;
    bool linkConnected_ = false;
    ReplyReceiver* receiver_ = nullptr;
    QString statusNote_;
};

}  // namespace tuvik
