#pragma once
// The application event log: where the PID code reports what went wrong with
// a status record, a trend hand-over or a send, without bothering the user.
// On Linux the entries go to syslog; tests install a recording log instead.

#include <QString>

#include <vector>

namespace tuvik {

class EventLog {
  public:
    virtual ~EventLog() = default;
    // An error entry.
    virtual void Write(const QString& text) = 0;
    // Something unusual that was handled (for example input that was refused).
    virtual void Warning(const QString& text) { Write(text); }
};

// syslog, ident "VUD_OV", facility LOG_USER; Write is LOG_ERR, Warning LOG_WARNING.
// Elsewhere the entries go to Qt's message handler.
class SyslogEventLog : public EventLog {
  public:
    SyslogEventLog();
    ~SyslogEventLog() override;
    void Write(const QString& text) override;
    void Warning(const QString& text) override;
};

// Keeps every entry in memory, in order.
class RecordingEventLog : public EventLog {
  public:
    enum class Level { Error, Warning };
    struct Entry {
        Level level;
        QString text;
    };
    std::vector<Entry> entries;

    void Write(const QString& text) override { entries.push_back({Level::Error, text}); }
    void Warning(const QString& text) override { entries.push_back({Level::Warning, text}); }
    QStringList texts() const;
    void clear() { entries.clear(); }
};

// The process-wide log that the program writes to; syslog unless replaced.
EventLog& CurrentEventLog();
// nullptr goes back to syslog. The caller keeps `log` alive while it is current.
void SetCurrentEventLog(EventLog* log);
inline void WriteEventLog(const QString& text) {
    CurrentEventLog().Write(text);
}

// Makes `log` current for the lifetime of this object, then restores the previous one.
class ScopedEventLog {
  public:
    explicit ScopedEventLog(EventLog& log);
    ~ScopedEventLog();
    ScopedEventLog(const ScopedEventLog&) = delete;
    ScopedEventLog& operator=(const ScopedEventLog&) = delete;

  private:
    EventLog* previous_;
};

}  // namespace tuvik
