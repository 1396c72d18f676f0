#include "shell/LinkTexts.h"

#include "link/ReplayLink.h"
#include "support/LocaleText.h"

namespace tuvik::LinkTexts {

QString SerialCaption(bool open, const QString& error, const QTime& at) {
    if (!error.isEmpty()) {
        return LocaleTimeOfDay(at) + QStringLiteral("  Error ") + error;
    }
    return QStringLiteral("Connect ") + (open ? QStringLiteral("True") : QStringLiteral("False"));
}

QString DeviceStartedCaption(int code, const QTime& at) {
    return QStringLiteral("Device started (") + QString::number(code) + QStringLiteral(") ") +
           LocaleTimeOfDay(at);
}

int SocketStateNumber(QAbstractSocket::SocketState state, bool errored) {
    switch (state) {
        case QAbstractSocket::UnconnectedState:
            return errored ? 9 : 0;
        case QAbstractSocket::HostLookupState:
            return 4;
        case QAbstractSocket::ConnectingState:
            return 6;
        case QAbstractSocket::ConnectedState:
            return 7;
        case QAbstractSocket::BoundState:
            return 1;
        case QAbstractSocket::ListeningState:
            return 2;
        case QAbstractSocket::ClosingState:
            return 8;
    }
    return 0;
}

QString NoRelayText(const QString& host, quint16 port) {
    const QString text = QStringLiteral("No connection to the TCP relay at %1:%2. ") +
                         QStringLiteral("Check the relay and connect again.");
    return text.arg(host).arg(port);
}

QString ReplaySpeed(int speed) {
    return speed == ReplayLink::kAsFastAsPossible ? QStringLiteral("as fast as possible")
                                                  : QString::number(speed) + QStringLiteral("×");
}

QString ReplayTime(qint64 us, qint64 lengthUs) {
    const qint64 s = us / 1000000;
    const QString mmss = QStringLiteral("%1:%2")
                             .arg(lengthUs >= 3600LL * 1000000 ? (s / 60) % 60 : s / 60,
                                  lengthUs >= 3600LL * 1000000 ? 2 : 1, 10, QChar(u'0'))
                             .arg(s % 60, 2, 10, QChar(u'0'));
    return lengthUs >= 3600LL * 1000000 ? QString::number(s / 3600) + u':' + mmss : mmss;
}

QString ReplayStatus(const ReplayLink& replay) {
    const qint64 length = replay.lengthUs();
    QString text = QStringLiteral("Replaying ") + replay.Endpoint() + QStringLiteral(" at ") +
                   ReplaySpeed(replay.speed()) + QStringLiteral(", ") +
                   ReplayTime(replay.positionUs(), length) + QStringLiteral(" of ") +
                   ReplayTime(length, length);
    if (replay.ended()) {
        const QString why = replay.stopReason();
        text += why.isEmpty() ? QStringLiteral(" (end of recording)")
                              : QStringLiteral(" (recording damaged: ") + why + u')';
    } else if (replay.paused()) {
        text += QStringLiteral(" (paused)");
    }
    return text;
}

}  // namespace tuvik::LinkTexts
