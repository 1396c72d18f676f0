#pragma once
// The main window's link status line: the link in use, replies and bytes a
// second, broken packets since connecting, the time since the last reply, and
// the controller's alarm in words. Worked out from the link's traffic counts
// a few times a second; rates are over the time since the previous update.
// A link that has been silent for two seconds, or is being reconnected, or an
// alarm, make the line a warning.

#include <QString>

#include "link/DeviceLink.h"

namespace tuvik {

class LinkStatus {
  public:
    static constexpr qint64 kSilentMs = 2000;
    static constexpr int kUpdateMs = 500;

    enum class State { Disconnected, Connected, Reconnecting };

    struct Line {
        QString text;
        bool warning = false;
    };

    // A fresh connection: rates, silence and the counts shown start from
    // now and from the link's counts at this moment.
    void Restart(qint64 nowMs, const LinkTraffic& atConnect = {});
    // kind: "Serial port" or "TCP relay"; endpoint: the port or relay address.
    Line Update(State state, const QString& kind, const QString& endpoint,
                const LinkTraffic& traffic, bool alarm, qint64 nowMs);
    // The line for the active link (none: not connected); connected is
    // LinkConnected.
    Line Update(const DeviceLink* link, bool connected, bool alarm, qint64 nowMs);

    static QString AlarmText() { return QStringLiteral("ALARM reported by the controller"); }

  private:
    LinkTraffic base_;   // the link's counts at the connect
    qint64 since_ = -1;  // the previous update (or the connect)
    qint64 connectedAt_ = -1;
    quint64 replies_ = 0;
    quint64 bytes_ = 0;
};

}  // namespace tuvik
