#include "support/EventLog.h"

#include <QStringList>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <syslog.h>
#endif

namespace tuvik {

namespace {
EventLog* g_current = nullptr;

SyslogEventLog& DefaultLog() {
    static SyslogEventLog log;
    return log;
}
}  // namespace

SyslogEventLog::SyslogEventLog() {
#ifdef Q_OS_UNIX
    // The ident must stay valid while the log is open: a string literal does.
    openlog("VUD_OV", LOG_PID, LOG_USER);
#endif
}

SyslogEventLog::~SyslogEventLog() {
#ifdef Q_OS_UNIX
    closelog();
#endif
}

void SyslogEventLog::Write(const QString& text) {
#ifdef Q_OS_UNIX
    syslog(LOG_ERR, "%s", text.toLocal8Bit().constData());
#else
    qCritical("%s", qUtf8Printable(text));
#endif
}

void SyslogEventLog::Warning(const QString& text) {
#ifdef Q_OS_UNIX
    syslog(LOG_WARNING, "%s", text.toLocal8Bit().constData());
#else
    qWarning("%s", qUtf8Printable(text));
#endif
}

QStringList RecordingEventLog::texts() const {
    QStringList out;
    for (const auto& e : entries) {
        out << e.text;
    }
    return out;
}

EventLog& CurrentEventLog() {
    return g_current ? *g_current : DefaultLog();
}

void SetCurrentEventLog(EventLog* log) {
    g_current = log;
}

ScopedEventLog::ScopedEventLog(EventLog& log) : previous_(g_current) {
    g_current = &log;
}

ScopedEventLog::~ScopedEventLog() {
    g_current = previous_;
}

}  // namespace tuvik
