#pragma once
// The shell's process-wide state: the active link, whether it is connected
// (LinkConnected), where replies go, and the channels through which the rest
// of the program reaches the main window's title bar and the user.

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "link/DeviceLink.h"

namespace tuvik {

class AppContext : public QObject {
    Q_OBJECT
  public:
    explicit AppContext(QObject* parent = nullptr) : QObject(parent) {}

    DeviceLink* activeLink() const { return activeLink_; }
    // The link takes the reply receiver; the one it replaces hands replies
    // to nobody from now on.
    void setActiveLink(DeviceLink* link);

    bool LinkConnected() const { return linkConnected_; }
    void setLinkConnected(bool on);

    ReplyReceiver* replyReceiver() const { return receiver_; }
    // Every link, present and future, hands its replies to this receiver.
    void setReplyReceiver(ReplyReceiver* r);

    // A line for the main window's title bar.
    void setMainCaption(const QString& text) { emit mainCaptionRequested(text); }
    // Short notes the status line adds to its text, one per source (a
    // recording or a history that stopped); an empty note removes the
    // source's. statusNote() joins them in the order of their sources.
    QString statusNote() const {
        return QStringList(statusNotes_.values()).join(QStringLiteral("; "));
    }
    void setStatusNote(const QString& source, const QString& note) {
        if (note == statusNotes_.value(source)) {
            return;
        }
        if (note.isEmpty()) {
            statusNotes_.remove(source);
        } else {
            statusNotes_.insert(source, note);
        }
        emit statusNoteChanged(statusNote());
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
    QMap<QString, QString> statusNotes_;
};

}  // namespace tuvik
