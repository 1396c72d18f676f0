#pragma once
// The master side of a pseudo-terminal whose slave path stands in for a
// serial port in tests: what the program writes to the port can be read here,
// and bytes written here arrive at the port.

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include "TestUtil.h"

namespace tuvik::test {

class Pty {
  public:
    Pty() {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        path_ = QString::fromLocal8Bit(name);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() {
        CloseMaster();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    bool ok() const { return master_ >= 0; }
    QString path() const { return path_; }

    // Everything the link wrote since the last call.
    QByteArray Take() {
        Drain();
        return std::exchange(got_, QByteArray());
    }
    // Waits until at least n bytes have arrived (bounded), without taking them.
    bool WaitFor(qsizetype n, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        return WaitUntil([&] { return Drain() >= n; }, limit);
    }
    qsizetype Drain() {
        char buf[512];
        for (ssize_t r = 1; r > 0;) {
            r = master_ >= 0 ? ::read(master_, buf, sizeof buf) : -1;
            got_.append(buf, std::max<ssize_t>(r, 0));
        }
        return got_.size();
    }
    void Write(const QByteArray& b) {
        ASSERT_EQ(::write(master_, b.constData(), static_cast<size_t>(b.size())), b.size());
    }
    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    QByteArray got_;
};

}  // namespace tuvik::test
