#pragma once
// One read of the device's values, as the reads before and after a write
// and the editor's "Get current values" make it: the requests go out, the
// replies that answer them are taken while the read is pending (the owner
// matches them and says how many are in), and the read ends when every
// request is answered, when its time is up, or when the link goes away. It
// runs as the other long exchanges do, under the one-at-a-time guard.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

#include "link/LinkExchangeLock.h"

namespace tuvik {

class DeviceLink;

class DeviceRead : public QObject {
    Q_OBJECT
  public:
    // Sends the requests; false when one of them could not go out.
    using Requests = std::function<bool(DeviceLink&)>;

    explicit DeviceRead(QString exchangeName, QObject* parent = nullptr);

    // Sends the requests and waits up to timeoutMs for `expected` answers.
    // wholeTime: the read lasts its whole time even when every answer is in.
    // False, with nothing sent and no signal to follow, when a read is
    // pending, the link is not open or another exchange runs. A request that
    // could not go out is not waited for.
    bool Start(DeviceLink* link, int expected, int timeoutMs, const Requests& requests,
               bool wholeTime = false);
    bool pending() const { return pending_; }
    // The owner took a reply: `answered` of the expected answers are in.
    void Answered(int answered);
    // Ends a pending read without a signal.
    void Abandon();

    int answered() const { return answered_; }
    int expected() const { return expected_; }
    bool complete() const { return answered_ >= expected_; }
    // The link went away during the read.
    bool lost() const { return lost_; }
    // The read's link, while it lasts.
    DeviceLink* link() const { return link_; }
    // The read's time, for tests and the window that names it.
    QTimer& timer() { return timer_; }

  signals:
    void progress(int answered, int expected);
    // Every answer is in, the time ran out or the link went away; reported
    // from the event loop, never from inside Start.
    void finished();

  private:
    void End();

    QString exchange_;
    QPointer<DeviceLink> link_;
    LinkExchangeLock lock_;
    QTimer timer_;
    QMetaObject::Connection lostConn_;
    int expected_ = 0;
    int answered_ = 0;
    bool wholeTime_ = false;
    bool pending_ = false;
    bool lost_ = false;
};

}  // namespace tuvik
