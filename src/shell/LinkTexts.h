#pragma once
// What the operator reads about a link, worked out from the plain state the
// links report: the serial link window's caption, the TCP link window's
// socket state number, the note when no relay answers, and the replay's part
// of the status line.

#include <QAbstractSocket>
#include <QString>
#include <QTime>

namespace tuvik {

class ReplayLink;

namespace LinkTexts {

// "Connect True" or "Connect False"; with an error (a failed open, a port
// that went away) the time and "  Error " and the error's text instead.
QString SerialCaption(bool open, const QString& error, const QTime& at);

// The socket's state as the TCP link window shows it: 0 closed, 1 open,
// 2 listening, 4 resolving, 6 connecting, 7 connected, 8 closing, 9 error.
int SocketStateNumber(QAbstractSocket::SocketState state, bool errored);

// "Device started (<code>) " and the time of day, when the device reports its start.
QString DeviceStartedCaption(int code, const QTime& at);

// Told once the connection watcher gives up on a connection that was asked for.
QString NoRelayText(const QString& host, quint16 port);

// "Replaying <name> at <speed>, <position> of <length>", and why it stopped
// or that it is paused.
QString ReplayStatus(const ReplayLink& replay);
// "1×", "5×", "20×", "as fast as possible".
QString ReplaySpeed(int speed);
// m:ss, or h:mm:ss when `lengthUs` is an hour or more.
QString ReplayTime(qint64 us, qint64 lengthUs);

}  // namespace LinkTexts
}  // namespace tuvik
