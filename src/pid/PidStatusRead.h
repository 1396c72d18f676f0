#pragma once
// One read of the selected loop's status record (0x81 -> 0x82), as a
// DeviceRead: the request, the record counted by the reply dispatcher, a
// bounded wait, one exchange at a time. Two kinds:
//
//  - Check, the reads just before a send's confirmation and after the send:
//    the data request is off while it runs, it ends as soon as the record
//    is in, and the loop keeps what it held (the dispatcher puts every
//    record into the selected loop; the read takes the controller's settings
//    out of it and puts back what the loop held, so the program's values,
//    and through them the editor, stay what the operator made them).
//  - Show, "Get current values": the loop takes the controller's values,
//    and the read lasts its whole 300 ms (TimerGetCurrentValues). The data
//    request was switched off by the caller, since that happens even when
//    the port is closed.
//
// Either way the data request comes back at the end unless another exchange
// runs by then.

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>

#include "link/DeviceRead.h"
#include "pid/PidSettingsSend.h"
#include "pid/clsPID.h"

namespace tuvik {

class DeviceLink;
class PidLoops;

class PidStatusRead : public QObject {
    Q_OBJECT
  public:
    // The check's normal time, what the TCP relay adds, and how often the
    // arrival of the record is looked for; the time of "Get current values".
    static constexpr int kReadMs = 300;
    static constexpr int kTcpExtraMs = PidSettingsSend::kTcpExtraMs;
    static constexpr int kPollMs = 10;
    static constexpr int kShowMs = 300;
    static const QString kExchangeName;

    enum class Kind { Check, Show };

    // statusRecords: how many status records the selected loop has taken so
    // far (the dispatcher counts them); a read that saw none got no answer.
    PidStatusRead(PidLoops& loops, std::function<uint64_t()> statusRecords,
                  QObject* parent = nullptr);

    void setTimes(int readMs, int tcpExtraMs) {
        readMs_ = readMs;
        tcpExtraMs_ = tcpExtraMs;
    }
    // Sends the request; false, sending nothing, without an open link or a
    // selected loop, or while another exchange runs. A relayed link is
    // given longer to answer.
    bool start(DeviceLink* link, Kind kind = Kind::Check);
    bool running() const { return read_.pending(); }
    // Ends a running read without a result.
    void abandon();
    // The read's time (TimerGetCurrentValues for a Show read).
    QTimer& timer() { return read_.timer(); }

  signals:
    // The controller's settings; empty when no record came in time or the
    // link went away.
    void finished(std::optional<tuvik::PidSettings> device);

  private:
    bool Answered() const { return statusRecords_() != recordsAtStart_; }
    void Ended();

    PidLoops& loops_;
    std::function<uint64_t()> statusRecords_;
    DeviceRead read_;
    QTimer poll_;
    int readMs_ = kReadMs;
    int tcpExtraMs_ = kTcpExtraMs;
    Kind kind_ = Kind::Check;
    uint64_t recordsAtStart_ = 0;
    PidSettings held_;
};

}  // namespace tuvik
