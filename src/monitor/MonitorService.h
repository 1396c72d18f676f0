#pragma once
// The always-on monitor over the window-free session: the data folder takes
// the history, the recordings (within recordings.limit_mb), the daily log and
// the measurement file, with the retention and the measurement file's switch
// from the configuration; the session's settings store is a file in the data
// folder, never the desktop's. It opens the serial port or the relay, polls
// at link.refresh_ms, selects link.loop at every connect, and opens again as
// the desktop does after a loss (and, unlike the desktop, after a failed
// first open too, every kOpenRetryMs). The history's clock guard is on.
//
// Each event goes to standard error as one line (Log).

#include <QObject>
#include <QTimer>

#include <memory>

#include "monitor/MonitorConfig.h"
#include "shell/Session.h"

namespace tuvik::monitor {

class MonitorService : public QObject {
    Q_OBJECT
  public:
    static constexpr int kOpenRetryMs = 5000;
    // The session's own settings (connection texts, recordings limit), in the data folder.
    static constexpr const char* kStoreName = "monitor-session.ini";

    MonitorService(const MonitorConfig& config, const QString& deviceId, QObject* parent = nullptr);
    ~MonitorService() override;

    // Makes the data folder and starts the session's files there; an empty
    // text, or why not. Opens nothing.
    QString Prepare();
    // Opens the link; it comes back by itself after a loss.
    void Connect();
    // Tells the controller to report link.loop (80 01 <loop> 7F); what the
    // monitor does at every connect.
    void SelectLoop();
    // The end: the link closed, the recording closed, the measurement rows
    // and the history committed, no prune started.
    void Stop();

    Session& session() { return *session_; }
    const MonitorConfig& config() const { return config_; }
    const QString& deviceId() const { return deviceId_; }

    // One line on standard error.
    static void Log(const QString& line);

  private:
    void WatchLink(DeviceLink* link);
    void RetryOpen();

    MonitorConfig config_;
    QString deviceId_;
    std::unique_ptr<Session> session_;
    QTimer openRetry_;
    QList<QMetaObject::Connection> linkWatch_;
    bool stopped_ = false;
    bool openFailTold_ = false;
};

}  // namespace tuvik::monitor
