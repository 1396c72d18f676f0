#include "support/BackgroundWriter.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <pthread.h>
#endif

namespace tuvik::background {

namespace {

struct Detached {
    std::mutex mutex;
    std::condition_variable done;
    int count = 0;
};

Detached& Unended() {
    static Detached d;
    return d;
}

}  // namespace

void NameThread(const char* name) {
#ifdef Q_OS_LINUX
    pthread_setname_np(pthread_self(), name);
#else
    (void)name;
#endif
}

void DetachedStarted() {
    Detached& d = Unended();
    std::lock_guard lock(d.mutex);
    ++d.count;
}

void DetachedEnded() {
    Detached& d = Unended();
    std::lock_guard lock(d.mutex);
    --d.count;
    d.done.notify_all();
}

bool WaitForDetached(int timeoutMs) {
    Detached& d = Unended();
    std::unique_lock lock(d.mutex);
    return d.done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&d] { return d.count == 0; });
}

}  // namespace tuvik::background
