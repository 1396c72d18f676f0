#pragma once
// One read of the selected loop's status record (0x81 -> 0x82), as a
// DeviceRead: the request, the record the reply dispatcher announces, a
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

#include <optional>

#include "link/DeviceRead.h"
#include "pid/PidSettingsSend.h"
#include "pid/clsPID.h"

namespace tuvik {

class DeviceAnswers;
class DeviceLink;
class PidLoops;

class PidStatusRead : public QObject {
    Q_OBJECT
  public:
    // The check's normal time and what the TCP relay adds; the time of "Get
    // current values".
    static constexpr int kReadMs = 300;
    static constexpr int kTcpExtraMs = PidSettingsSend::kTcpExtraMs;
    static constexpr int kShowMs = 300;
    static const QString kExchangeName;

    enum class Kind { Check, Show };

    // answers: where the dispatcher announces the records the selected loop
    // took; a read that heard none got no answer.
    PidStatusRead(PidLoops& loops, const DeviceAnswers* answers, QObject* parent = nullptr);

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
    void RecordTaken();
    void Ended();

    PidLoops& loops_;
    DeviceRead read_;
    int readMs_ = kReadMs;
    int tcpExtraMs_ = kTcpExtraMs;
    Kind kind_ = Kind::Check;
    bool answered_ = false;
    PidSettings held_;
};

}  // namespace tuvik
