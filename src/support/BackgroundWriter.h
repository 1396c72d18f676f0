#pragma once
// A writer thread fed through a queue, for the files that must not hold up
// the thread that feeds them (the recording, the history). Adding costs the
// caller a lock and what the add does to the queue; the thread takes the
// whole queue at once, every period or when an add asks for it, and writes
// it outside the lock. Stopping writes what is left. A failed write ends the
// thread; what is added after it is dropped.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace tuvik {

namespace background {
// Names the calling thread, so that its share of the processor can be told apart.
void NameThread(const char* name);
// Writers handed Detach() that have not ended yet, over the whole program.
void DetachedStarted();
void DetachedEnded();
bool WaitForDetached(int timeoutMs);
}  // namespace background

template <typename Queue>
class BackgroundWriter {
  public:
    // On the writer thread: writes what was taken (never empty); false when
    // the writing failed.
    using Write = std::function<bool(Queue& taken)>;
    // On the writer thread, once, after the last write.
    using Ended = std::function<void()>;

    BackgroundWriter() = default;
    ~BackgroundWriter() { Stop(); }
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // period: how often the thread takes the queue; zero, only when an add
    // asks for it. name: the thread's (at most 15 characters).
    void Start(const char* name, std::chrono::milliseconds period, Write write, Ended ended = {}) {
        Stop();
        auto s = std::make_shared<State>();
        s->period = period;
        s->write = std::move(write);
        s->ended = std::move(ended);
        state_ = s;
        thread_ = std::thread([s, name] {
            background::NameThread(name);
            Run(*s);
        });
    }
    bool running() const { return thread_.joinable(); }

    // Runs add(queue) under the lock; add returns true to have the queue
    // taken now. Once the writer stopped or failed nothing runs and false is
    // returned.
    template <typename Add>
    bool Put(Add&& add) {
        if (!running()) {
            return false;
        }
        State& s = *state_;
        std::lock_guard lock(s.mutex);
        if (s.failed || s.stop) {
            return false;
        }
        ++s.added;
        if (add(s.queue)) {
            s.takeNow = true;
            s.wake.notify_one();
        }
        return true;
    }

    // Waits until everything put before has been written (or the writing failed).
    void Drain() {
        if (!running()) {
            return;
        }
        State& s = *state_;
        std::unique_lock lock(s.mutex);
        const uint64_t target = s.added;
        s.takeNow = true;
        s.wake.notify_one();
        s.done.wait(lock, [&s, target] { return s.written >= target || s.failed; });
    }

    // Writes what is queued and waits for the thread.
    void Stop() {
        if (!running()) {
            return;
        }
        {
            std::lock_guard lock(state_->mutex);
            state_->stop = true;
        }
        state_->wake.notify_one();
        thread_.join();
        std::lock_guard lock(state_->mutex);
        state_->queue = Queue{};
    }

    // The same without waiting: the thread writes what is queued and ends on
    // its own (a sync on a slow stick can take seconds); this object may go
    // at once. background::WaitForDetached waits for such threads.
    void Detach() {
        if (!running()) {
            return;
        }
        {
            std::lock_guard lock(state_->mutex);
            state_->stop = true;
            if (!state_->over) {
                state_->detached = true;
                background::DetachedStarted();
            }
        }
        state_->wake.notify_one();
        thread_.detach();
        state_.reset();
    }

  private:
    // Shared with the thread, and kept by it alone after Detach().
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable done;
        Queue queue;
        std::chrono::milliseconds period{0};
        Write write;
        Ended ended;
        uint64_t added = 0;    // puts so far
        uint64_t written = 0;  // puts written
        bool takeNow = false;
        bool stop = false;
        bool failed = false;
        bool over = false;  // the thread has ended its writing
        bool detached = false;
    };

    static void Run(State& s) {
        Queue taken;
        for (;;) {
            bool last = false;
            uint64_t upTo = 0;
            {
                std::unique_lock lock(s.mutex);
                const auto ready = [&s] { return s.stop || s.takeNow; };
                if (s.period.count() > 0) {
                    s.wake.wait_for(lock, s.period, ready);
                } else {
                    s.wake.wait(lock, ready);
                }
                last = s.stop;
                s.takeNow = false;
                upTo = s.added;
                std::swap(taken, s.queue);
            }
            const bool ok = taken.empty() || s.write(taken);
            taken.clear();  // its room is used again for the next take
            std::lock_guard lock(s.mutex);
            if (!ok) {
                s.failed = true;
                Queue().swap(s.queue);
                s.done.notify_all();
                break;
            }
            s.written = upTo;
            s.done.notify_all();
            if (last) {
                break;
            }
        }
        if (s.ended) {
            s.ended();
        }
        std::lock_guard lock(s.mutex);
        s.over = true;
        if (s.detached) {
            background::DetachedEnded();
        }
    }

    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace tuvik
