#pragma once
// A long exchange's hold on the one-at-a-time guard (ExchangeGuard) and on
// its link: while it is held the link is not Idle(), so it is not lent out
// in the middle of the exchange.

#include <QPointer>
#include <QString>

#include "link/DeviceLink.h"
#include "support/ExchangeGuard.h"

namespace tuvik {

class LinkExchangeLock {
  public:
    LinkExchangeLock() = default;
    ~LinkExchangeLock() { release(); }
    LinkExchangeLock(const LinkExchangeLock&) = delete;
    LinkExchangeLock& operator=(const LinkExchangeLock&) = delete;

    // Takes the guard for the named exchange on the link (when not held
    // already); false when another exchange holds the guard.
    bool acquire(const QString& name, DeviceLink* link);
    // Gives the guard and the link back; harmless when not held.
    void release();
    explicit operator bool() const { return static_cast<bool>(lock_); }

  private:
    ExchangeLock lock_;
    QPointer<DeviceLink> link_;
};

}  // namespace tuvik
