#pragma once
// Runs an action at most once per frame interval. A request when the last run
// is at least one interval old runs the action at once; a request inside the
// interval schedules one run at its end, and further requests before then
// fold into that run. So a burst of requests gives one run now and one at the
// end of the burst, and the last state is always shown.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace tuvik {

class FrameThrottle : public QObject {
    Q_OBJECT
  public:
    explicit FrameThrottle(std::function<void()> action, QObject* parent = nullptr);
    ~FrameThrottle() override;

    // Shortest time between two runs, in ms (at least 1).
    void setInterval(int ms);
    int interval() const { return intervalMs_; }

    void Request();
    // The interval is counted from Stamp() instead of from each run: for an
    // action that only asks for a paint, the paint itself is what counts.
    void setStampedByCaller(bool on) { stampedByCaller_ = on; }
    void Stamp() { lastRun_.start(); }
    // A run is scheduled for the end of the present interval.
    bool pending() const { return timer_.isActive(); }
    // Runs a scheduled run now (nothing when none is due).
    void Flush();

    // While suspended no throttle runs its action (a replay playing through
    // a stretch nobody watches); each one asked meanwhile runs once when the
    // suspension ends.
    static void SetSuspended(bool on);
    // Seam: tests see a replay hold the repaints and let them go, which no pixel shows at once.
    static bool suspended();

  private:
    void Run();

    std::function<void()> action_;
    QTimer timer_;
    QElapsedTimer lastRun_;
    int intervalMs_ = 16;
    bool stampedByCaller_ = false;
    bool owed_ = false;  // asked while suspended
};

}  // namespace tuvik
