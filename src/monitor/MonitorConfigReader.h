#pragma once
// The monitor's INI file read from its bytes, the command line's overrides
// applied key by key, the rules across keys checked, the password read from
// its file: each step stops at the first key that is wrong and names it
// (section.name) with what is wrong. Nothing here opens a port or a
// connection, so a bad configuration never does.
//
// The file: "[section]" lines, "name = value" lines, blank lines, comments
// on lines of their own starting with '#' or ';'. Blanks around names and
// values go; a value may be put in double quotes to keep blanks at its ends.
// A name outside a section, an unknown name or one given twice is refused.

#include <QByteArray>
#include <QString>

#include <optional>

#include "monitor/MonitorConfig.h"

namespace tuvik::monitor {

struct ConfigError {
    QString key;   // section.name; empty for a line that is no key at all
    QString what;  // what is wrong with it
    int line = 0;  // in the file; 0 for the command line or a rule across keys

    QString Text() const;
};

class MonitorConfigReader {
  public:
    // The default file.
    static constexpr const char* kDefaultPath = "/etc/tuvik/monitor.conf";
    // The systemd credential taken when mqtt.user is set and
    // mqtt.password_file is not: $CREDENTIALS_DIRECTORY/<this>.
    static constexpr const char* kPasswordCredential = "mqtt-password";

    // The file's keys over what config holds.
    static std::optional<ConfigError> Read(const QByteArray& ini, MonitorConfig& config);
    // One key ("section.name") from the command line. link.serial and
    // link.tcp given there replace each other.
    static std::optional<ConfigError> Set(const QString& key, const QString& value,
                                          MonitorConfig& config);
    // Set from a "section.name=value" text.
    static std::optional<ConfigError> SetAssignment(const QString& text, MonitorConfig& config);
    // The rules across keys, then the defaults that depend on the
    // environment (data.dir from $STATE_DIRECTORY).
    static std::optional<ConfigError> Validate(MonitorConfig& config);
    // The password from mqtt.password_file, or from the credential; the file
    // must be readable by its owner only.
    static std::optional<ConfigError> ReadSecrets(MonitorConfig& config);
    // Every key and its value in force, one "section.name = value" line each,
    // the password masked.
    static QString Describe(const MonitorConfig& config);
};

}  // namespace tuvik::monitor
