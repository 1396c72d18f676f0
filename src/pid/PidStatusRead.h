#pragma once
// One read of the selected loop's status record, as the safe PID send makes
// it just before its confirmation and again after the write: the request
// "Get current values" sends, the record counted by the reply dispatcher,
// a bounded wait, one exchange at a time.
//
// The dispatcher puts the record into the selected loop, as it does for every
// record; the read takes the controller's settings out of it and puts back
// what the loop held, so the program's values (and through them the editor)
// stay what the operator made them.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <optional>

#include "pid/PidSettingsSend.h"
#include "pid/clsPID.h"
#include "support/ExchangeGuard.h"

namespace tuvik {

class DeviceLink;
class PidLoops;
class ReplyDispatcher;

class PidStatusRead : public QObject {
    Q_OBJECT
  public:
    // The read's normal time, what the TCP relay adds, and how often the
    // arrival of the record is looked for.
    static constexpr int kReadMs = 300;
    static constexpr int kTcpExtraMs = PidSettingsSend::kTcpExtraMs;
    static constexpr int kPollMs = 10;
    static const QString kExchangeName;

    PidStatusRead(PidLoops& loops, const ReplyDispatcher& dispatcher, QObject* parent = nullptr);
    ~PidStatusRead() override;

    void setTimes(int readMs, int tcpExtraMs) {
        readMs_ = readMs;
        tcpExtraMs_ = tcpExtraMs;
    }
    // Sends the request; false, sending nothing, without an open link or a
    // selected loop, or while another exchange runs. The periodic data
    // request is off while the read runs.
    bool start(DeviceLink* link, bool overTcp);
    bool running() const { return running_; }
    // Ends a running read without a result.
    void abandon();

  signals:
    // The controller's settings; empty when no record came in time or the
    // link went away.
    void finished(std::optional<tuvik::PidSettings> device);

  private:
    void Tick();
    void End(bool answered, bool report);

    PidLoops& loops_;
    const ReplyDispatcher& dispatcher_;
    int readMs_ = kReadMs;
    int tcpExtraMs_ = kTcpExtraMs;
    bool running_ = false;
    bool overTcp_ = false;
    uint64_t recordsAtStart_ = 0;
    PidSettings held_;
    QPointer<DeviceLink> link_;
    QMetaObject::Connection lostConn_;
    ExchangeLock lock_;
    QTimer timer_;
    QElapsedTimer clock_;
};

}  // namespace tuvik
