#pragma once
// Only one long exchange with the device runs at a time (the PID settings
// send, the burner parameter-set upload, the histogram read): each of them
// counts or collects replies over several seconds, and two of them
// interleaved would count each other's acknowledgements.
//
// Everything runs on the user-interface thread; the guard is a plain flag
// with the name of the exchange that holds it.

#include <QString>

namespace tuvik {

class ExchangeGuard {
  public:
    // Takes the guard for the named exchange; false when another one holds it.
    static bool TryAcquire(const QString& name);
    // Gives the guard back; harmless when it is free.
    static void Release();
    static bool Busy();
    // What to tell a user whose exchange could not start.
    static QString BusyMessage();

    // While a reason is set, nothing at all may go to the device: every
    // exchange is refused as busy with that reason as its message, and the
    // single requests ask SendingRefused() before they send. Empty: allowed.
    static void RefuseSending(const QString& reason);
    static QString SendingRefused();
};

// Holds the guard for its lifetime. Check owns() after constructing: when
// another exchange runs, nothing is taken and nothing is given back.
class ExchangeLock {
  public:
    ExchangeLock() = default;
    explicit ExchangeLock(const QString& name) : owns_(ExchangeGuard::TryAcquire(name)) {}
    ~ExchangeLock() { release(); }

    ExchangeLock(const ExchangeLock&) = delete;
    ExchangeLock& operator=(const ExchangeLock&) = delete;
    ExchangeLock(ExchangeLock&& other) noexcept : owns_(other.owns_) { other.owns_ = false; }
    ExchangeLock& operator=(ExchangeLock&& other) noexcept {
        if (this != &other) {
            release();
            owns_ = other.owns_;
            other.owns_ = false;
        }
        return *this;
    }

    explicit operator bool() const { return owns_; }
    // Takes the guard now (when not held already); false when it is busy.
    bool acquire(const QString& name) {
        if (!owns_) {
            owns_ = ExchangeGuard::TryAcquire(name);
        }
        return owns_;
    }
    void release() {
        if (owns_) {
            owns_ = false;
            ExchangeGuard::Release();
        }
    }

  private:
    bool owns_ = false;
};

}  // namespace tuvik
