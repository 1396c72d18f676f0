#include "shell/LinkStatus.h"

#include <cmath>

#include "link/ReplayLink.h"
#include "link/TcpLink.h"
#include "shell/LinkTexts.h"

namespace tuvik {

namespace {

QString Seconds(qint64 ms) {
    return QString::number(ms / 1000.0, 'f', 1) + QStringLiteral(" s");
}

QString Rate(double perSecond) {
    return QString::number(static_cast<qint64>(std::lround(perSecond)));
}

}  // namespace

void LinkStatus::Restart(qint64 nowMs, const LinkTraffic& atConnect) {
    base_ = atConnect;
    since_ = nowMs;
    connectedAt_ = nowMs;
    replies_ = 0;
    bytes_ = 0;
}

LinkStatus::Line LinkStatus::Update(const DeviceLink* link, bool connected, bool alarm,
                                    qint64 nowMs) {
    // A replay has no traffic to speak of: where it stands instead.
    if (const auto* replay = qobject_cast<const ReplayLink*>(link); replay && connected) {
        Line line{LinkTexts::ReplayStatus(*replay), alarm};
        if (alarm) {
            line.text += QStringLiteral(" | ") + AlarmText();
        }
        return line;
    }
    State state = State::Disconnected;
    if (link && link->reconnecting()) {
        state = State::Reconnecting;
    } else if (link && connected) {
        state = State::Connected;
    }
    const QString kind = qobject_cast<const TcpLink*>(link) ? QStringLiteral("TCP relay")
                                                            : QStringLiteral("Serial port");
    return Update(state, kind, link ? link->Endpoint() : QString(),
                  link ? link->traffic() : LinkTraffic{}, alarm, nowMs);
}

LinkStatus::Line LinkStatus::Update(State state, const QString& kind, const QString& endpoint,
                                    const LinkTraffic& counts, bool alarm, qint64 nowMs) {
    Line line;
    const LinkTraffic traffic = counts.Since(base_);
    const QString where = kind + QLatin1Char(' ') + endpoint;
    if (state == State::Disconnected) {
        line.text = QStringLiteral("Not connected");
    } else if (state == State::Reconnecting) {
        line.text = where + QStringLiteral(": connection lost, reconnecting...");
        line.warning = true;
    } else {
        const qint64 span = since_ >= 0 ? nowMs - since_ : 0;
        // A reset of the counts (a new connection) starts the rates afresh.
        if (traffic.replies < replies_ || traffic.bytes < bytes_) {
            replies_ = 0;
            bytes_ = 0;
        }
        const double seconds = span > 0 ? span / 1000.0 : 0.0;
        const double replyRate = seconds > 0 ? (traffic.replies - replies_) / seconds : 0.0;
        const double byteRate = seconds > 0 ? (traffic.bytes - bytes_) / seconds : 0.0;
        line.text = where + QStringLiteral(" | ") + Rate(replyRate) +
                    QStringLiteral(" replies/s | ") + Rate(byteRate) + QStringLiteral(" B/s | ") +
                    QString::number(traffic.broken) + QStringLiteral(" broken | ");
        // Silence counts from the last reply, or from the connect before any.
        const qint64 last = traffic.lastReplyMs >= 0 ? traffic.lastReplyMs : connectedAt_;
        const qint64 quiet = last >= 0 ? std::max<qint64>(0, nowMs - last) : 0;
        line.text += traffic.lastReplyMs >= 0
                         ? QStringLiteral("last reply ") + Seconds(quiet) + QStringLiteral(" ago")
                         : QStringLiteral("no reply yet");
        line.warning = quiet >= kSilentMs;
        replies_ = traffic.replies;
        bytes_ = traffic.bytes;
        since_ = nowMs;
    }
    // A stale alarm of a link that is gone is not repeated here.
    if (alarm && state != State::Disconnected) {
        line.text += QStringLiteral(" | ") + AlarmText();
        line.warning = true;
    }
    return line;
}

}  // namespace tuvik
