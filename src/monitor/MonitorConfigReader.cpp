#include "monitor/MonitorConfigReader.h"

#include "monitor/AllowList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSet>

#include <sys/stat.h>

#include <functional>
#include <vector>

namespace tuvik::monitor {

namespace {

using Problem = std::optional<QString>;  // what is wrong with a value; none: taken

struct Key {
    const char* name;
    std::function<Problem(MonitorConfig&, const QString&)> set;
    std::function<QString(const MonitorConfig&)> show;
};

Problem Number(const QString& v, int lo, int hi, int& out) {
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok || n < lo || n > hi) {
        return QStringLiteral("\"%1\" is not a whole number from %2 to %3").arg(v).arg(lo).arg(hi);
    }
    out = n;
    return std::nullopt;
}

Problem Switch(const QString& v, bool& out) {
    const QString s = v.toLower();
    if (s == u"on" || s == u"yes" || s == u"true" || s == u"1") {
        out = true;
    } else if (s == u"off" || s == u"no" || s == u"false" || s == u"0") {
        out = false;
    } else {
        return QStringLiteral("\"%1\" is neither on nor off").arg(v);
    }
    return std::nullopt;
}

// "host:port", "[v6]:port"; the host may be empty when allowed.
Problem HostPort(const QString& v, QString& host, quint16& port, bool addressOnly) {
    const qsizetype colon = v.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        return QStringLiteral("\"%1\" is not host:port").arg(v);
    }
    QString h = v.left(colon).trimmed();
    if (h.startsWith(QLatin1Char('[')) && h.endsWith(QLatin1Char(']'))) {
        h = h.mid(1, h.size() - 2);
    }
    int p = 0;
    if (Number(v.mid(colon + 1), 1, 65535, p)) {
        return QStringLiteral("\"%1\" has no port from 1 to 65535").arg(v);
    }
    if (h.isEmpty()) {
        return QStringLiteral("\"%1\" has no host").arg(v);
    }
    if (addressOnly && QHostAddress(h).isNull()) {
        return QStringLiteral("\"%1\" is not an IP address").arg(h);
    }
    if (!addressOnly &&
        !QRegularExpression(QStringLiteral("^[A-Za-z0-9.:_-]+$")).match(h).hasMatch()) {
        return QStringLiteral("\"%1\" is not a host name or address").arg(h);
    }
    host = h;
    port = static_cast<quint16>(p);
    return std::nullopt;
}

Problem Text(const QString& v, QString& out) {
    out = v;
    return std::nullopt;
}

// A file the monitor will read: set, it must be readable now.
Problem ReadableFile(const QString& v, QString& out) {
    if (!v.isEmpty() && !QFileInfo(v).isReadable()) {
        return QStringLiteral("\"%1\" cannot be read").arg(v);
    }
    out = v;
    return std::nullopt;
}

QString OnOff(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// Off (empty, "off"), on bare ("on": 127.0.0.1 and the relay's port;
// ":port": 127.0.0.1 and that port), or an address and a port.
Problem Listen(const QString& v, RelayConfig& r) {
    bool on = false;
    if (v.isEmpty() || !Switch(v, on)) {
        r.on = on;
        r.host = on ? QStringLiteral("127.0.0.1") : QString();
        r.port = RelayConfig{}.port;
        return std::nullopt;
    }
    QString host;
    quint16 port = 0;
    const QString full = v.startsWith(QLatin1Char(':')) ? QStringLiteral("127.0.0.1") + v : v;
    if (const Problem p = HostPort(full, host, port, true)) {
        return p;
    }
    r.on = true;
    r.host = QHostAddress(host).toString();
    r.port = port;
    return std::nullopt;
}

Problem Allow(const QString& v, QStringList& out) {
    const QStringList list =
        v.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    // The relay's own rules, so that what passes here is what it lets in.
    if (const auto why = AllowList::Check(list)) {
        return *why;
    }
    out = list;
    return std::nullopt;
}

const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = {
        {"link.serial", [](MonitorConfig& c, const QString& v) { return Text(v, c.link.serial); },
         [](const MonitorConfig& c) { return c.link.serial; }},
        {"link.speed",
         [](MonitorConfig& c, const QString& v) { return Number(v, 300, 4000000, c.link.speed); },
         [](const MonitorConfig& c) { return QString::number(c.link.speed); }},
        {"link.tcp",
         [](MonitorConfig& c, const QString& v) -> Problem {
             QString host;
             quint16 port = 0;
             if (v.isEmpty()) {
                 c.link.tcp.clear();
                 return std::nullopt;
             }
             if (const Problem p = HostPort(v, host, port, false)) {
                 return p;
             }
             c.link.tcp = v;
             return std::nullopt;
         },
         [](const MonitorConfig& c) { return c.link.tcp; }},
        {"link.refresh_ms",
         [](MonitorConfig& c, const QString& v) { return Number(v, 5, 60000, c.link.refreshMs); },
         [](const MonitorConfig& c) { return QString::number(c.link.refreshMs); }},
        {"link.loop",
         [](MonitorConfig& c, const QString& v) { return Number(v, 0, 1, c.link.loop); },
         [](const MonitorConfig& c) { return QString::number(c.link.loop); }},
        {"monitor.device_id",
         [](MonitorConfig& c, const QString& v) -> Problem {
             if (!QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]*$")).match(v).hasMatch()) {
                 return QStringLiteral("\"%1\" has characters other than A-Z, a-z, 0-9, _ and -")
                     .arg(v);
             }
             c.deviceId = v;
             return std::nullopt;
         },
         [](const MonitorConfig& c) { return c.deviceId; }},
        {"data.dir",
         [](MonitorConfig& c, const QString& v) -> Problem {
             if (!v.isEmpty() && !QDir::isAbsolutePath(v)) {
                 return QStringLiteral("\"%1\" is not an absolute path").arg(v);
             }
             c.dataDir = v;
             return std::nullopt;
         },
         [](const MonitorConfig& c) { return c.dataDir; }},
        {"history.keep_days",
         [](MonitorConfig& c, const QString& v) { return Number(v, 0, 36500, c.historyKeepDays); },
         [](const MonitorConfig& c) { return QString::number(c.historyKeepDays); }},
        {"recordings.limit_mb",
         [](MonitorConfig& c, const QString& v) {
             return Number(v, 1, 1000000, c.recordingsLimitMb);
         },
         [](const MonitorConfig& c) { return QString::number(c.recordingsLimitMb); }},
        {"files.measurements",
         [](MonitorConfig& c, const QString& v) { return Switch(v, c.measurementsFile); },
         [](const MonitorConfig& c) { return OnOff(c.measurementsFile); }},
        {"mqtt.host",
         [](MonitorConfig& c, const QString& v) -> Problem {
             if (!QRegularExpression(QStringLiteral("^[A-Za-z0-9.:_-]*$")).match(v).hasMatch()) {
                 return QStringLiteral("\"%1\" is not a host name or address").arg(v);
             }
             c.mqtt.host = v;
             return std::nullopt;
         },
         [](const MonitorConfig& c) { return c.mqtt.host; }},
        {"mqtt.port",
         [](MonitorConfig& c, const QString& v) { return Number(v, 1, 65535, c.mqtt.port); },
         [](const MonitorConfig& c) { return QString::number(c.mqtt.port); }},
        {"mqtt.client_id",
         [](MonitorConfig& c, const QString& v) -> Problem {
             if (v.size() > 256 ||
                 QRegularExpression(QStringLiteral("[\\s\\x00-\\x1f+#/]")).match(v).hasMatch()) {
                 return QStringLiteral(
                            "\"%1\" has a blank, a control character, +, # or /, or is "
                            "longer than 256")
                     .arg(v);
             }
             c.mqtt.clientId = v;
             return std::nullopt;
         },
         [](const MonitorConfig& c) { return c.mqtt.clientId; }},
        {"mqtt.keepalive",
         [](MonitorConfig& c, const QString& v) { return Number(v, 5, 3600, c.mqtt.keepAliveS); },
         [](const MonitorConfig& c) { return QString::number(c.mqtt.keepAliveS); }},
        {"mqtt.user", [](MonitorConfig& c, const QString& v) { return Text(v, c.mqtt.user); },
         [](const MonitorConfig& c) { return c.mqtt.user; }},
        {"mqtt.password_file",
         [](MonitorConfig& c, const QString& v) { return Text(v, c.mqtt.passwordFile); },
         [](const MonitorConfig& c) { return c.mqtt.passwordFile; }},
        {"mqtt.ca_file",
         [](MonitorConfig& c, const QString& v) { return ReadableFile(v, c.mqtt.caFile); },
         [](const MonitorConfig& c) { return c.mqtt.caFile; }},
        {"mqtt.cert_file",
         [](MonitorConfig& c, const QString& v) { return ReadableFile(v, c.mqtt.certFile); },
         [](const MonitorConfig& c) { return c.mqtt.certFile; }},
        {"mqtt.key_file",
         [](MonitorConfig& c, const QString& v) { return ReadableFile(v, c.mqtt.keyFile); },
         [](const MonitorConfig& c) { return c.mqtt.keyFile; }},
        {"mqtt.tls_insecure",
         [](MonitorConfig& c, const QString& v) { return Switch(v, c.mqtt.tlsInsecure); },
         [](const MonitorConfig& c) { return OnOff(c.mqtt.tlsInsecure); }},
        {"mqtt.discovery",
         [](MonitorConfig& c, const QString& v) { return Switch(v, c.mqtt.discovery); },
         [](const MonitorConfig& c) { return OnOff(c.mqtt.discovery); }},
        {"mqtt.discovery_prefix",
         [](MonitorConfig& c, const QString& v) -> Problem {
             if (!QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]+(/[A-Za-z0-9_-]+)*$"))
                      .match(v)
                      .hasMatch()) {
                 return QStringLiteral(
                            "\"%1\" is not a topic of A-Z, a-z, 0-9, _ and - "
                            "parts")
                     .arg(v);
             }
             c.mqtt.discoveryPrefix = v;
             return std::nullopt;
         },
         [](const MonitorConfig& c) { return c.mqtt.discoveryPrefix; }},
        {"relay.listen", [](MonitorConfig& c, const QString& v) { return Listen(v, c.relay); },
         [](const MonitorConfig& c) {
             if (!c.relay.on) {
                 return QStringLiteral("off");
             }
             const bool v6 = c.relay.host.contains(QLatin1Char(':'));
             return (v6 ? u'[' + c.relay.host + u']' : c.relay.host) + u':' +
                    QString::number(c.relay.port);
         }},
        {"relay.allow", [](MonitorConfig& c, const QString& v) { return Allow(v, c.relay.allow); },
         [](const MonitorConfig& c) { return c.relay.allow.join(QStringLiteral(", ")); }},
    };
    return keys;
}

const Key* Find(const QString& name) {
    for (const Key& k : Keys()) {
        if (name == QLatin1String(k.name)) {
            return &k;
        }
    }
    return nullptr;
}

std::optional<ConfigError> Apply(const QString& key, const QString& value, MonitorConfig& c,
                                 int line) {
    const Key* k = Find(key);
    if (!k) {
        return ConfigError{key, QStringLiteral("unknown key"), line};
    }
    if (const Problem p = k->set(c, value)) {
        return ConfigError{key, *p, line};
    }
    return std::nullopt;
}

bool Loopback(const QString& host) {
    return AllowList::IsLoopback(QHostAddress(host));
}

}  // namespace

QString ConfigError::Text() const {
    QString where = line > 0 ? QStringLiteral("line %1: ").arg(line) : QString();
    return where + (key.isEmpty() ? what : key + QStringLiteral(": ") + what);
}

std::optional<ConfigError> MonitorConfigReader::Read(const QByteArray& ini, MonitorConfig& config) {
    QString section;
    QSet<QString> seen;
    int n = 0;
    for (const QByteArray& raw : ini.split('\n')) {
        ++n;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')) || line.size() < 3) {
                return ConfigError{
                    {}, QStringLiteral("\"%1\" is not a [section] line").arg(line), n};
            }
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            return ConfigError{
                {}, QStringLiteral("\"%1\" is not a name = value line").arg(line), n};
        }
        const QString name = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"'))) {
            value = value.mid(1, value.size() - 2);
        }
        if (section.isEmpty()) {
            return ConfigError{name, QStringLiteral("outside a [section]"), n};
        }
        const QString key = section + QLatin1Char('.') + name;
        if (seen.contains(key)) {
            return ConfigError{key, QStringLiteral("given twice"), n};
        }
        seen.insert(key);
        if (auto e = Apply(key, value, config, n)) {
            return e;
        }
    }
    return std::nullopt;
}

std::optional<ConfigError> MonitorConfigReader::Set(const QString& key, const QString& value,
                                                    MonitorConfig& config) {
    if (auto e = Apply(key, value, config, 0)) {
        return e;
    }
    if (key == u"link.serial" && !value.isEmpty()) {
        config.link.tcp.clear();
    } else if (key == u"link.tcp" && !value.isEmpty()) {
        config.link.serial.clear();
    }
    return std::nullopt;
}

std::optional<ConfigError> MonitorConfigReader::SetAssignment(const QString& text,
                                                              MonitorConfig& config) {
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0) {
        return ConfigError{text, QStringLiteral("not section.name=value")};
    }
    return Set(text.left(eq).trimmed(), text.mid(eq + 1).trimmed(), config);
}

std::optional<ConfigError> MonitorConfigReader::Validate(MonitorConfig& c) {
    if (c.link.serial.isEmpty() == c.link.tcp.isEmpty()) {
        return ConfigError{QStringLiteral("link.serial"),
                           c.link.tcp.isEmpty()
                               ? QStringLiteral("neither link.serial nor link.tcp is set")
                               : QStringLiteral("link.serial and link.tcp are both set; one link")};
    }
    if (c.mqtt.certFile.isEmpty() != c.mqtt.keyFile.isEmpty()) {
        return ConfigError{c.mqtt.certFile.isEmpty() ? QStringLiteral("mqtt.cert_file")
                                                     : QStringLiteral("mqtt.key_file"),
                           QStringLiteral("mqtt.cert_file and mqtt.key_file go together")};
    }
    if (!c.mqtt.certFile.isEmpty() && c.mqtt.caFile.isEmpty()) {
        return ConfigError{QStringLiteral("mqtt.ca_file"),
                           QStringLiteral("a client certificate needs TLS, set by mqtt.ca_file")};
    }
    if (!c.mqtt.passwordFile.isEmpty() && c.mqtt.user.isEmpty()) {
        return ConfigError{QStringLiteral("mqtt.password_file"),
                           QStringLiteral("a password without mqtt.user")};
    }
    if (c.relay.on && !Loopback(c.relay.host) && c.relay.allow.isEmpty()) {
        return ConfigError{QStringLiteral("relay.listen"),
                           QStringLiteral("%1 is not a loopback address: it needs relay.allow, "
                                          "the addresses allowed to connect")
                               .arg(c.relay.host)};
    }
    if (c.dataDir.isEmpty()) {
        // systemd's StateDirectory=; the first when there are several.
        const QString state =
            qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
        c.dataDir = state.isEmpty() ? QString::fromLatin1(MonitorConfig::kDefaultDataDir) : state;
    }
    return std::nullopt;
}

std::optional<ConfigError> MonitorConfigReader::ReadSecrets(MonitorConfig& c) {
    if (c.mqtt.passwordFile.isEmpty() && !c.mqtt.user.isEmpty()) {
        const QString dir = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
        const QString credential = dir + QLatin1Char('/') + QLatin1String(kPasswordCredential);
        if (!dir.isEmpty() && QFileInfo::exists(credential)) {
            c.mqtt.passwordFile = credential;
        }
    }
    if (c.mqtt.passwordFile.isEmpty()) {
        return std::nullopt;
    }
    const QString key = QStringLiteral("mqtt.password_file");
    const QByteArray path = QFile::encodeName(c.mqtt.passwordFile);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return ConfigError{key, QStringLiteral("\"%1\" is not a file").arg(c.mqtt.passwordFile)};
    }
    if ((st.st_mode & 077) != 0) {
        return ConfigError{key, QStringLiteral("\"%1\" can be read by others (mode %2); make it "
                                               "the owner's only: chmod 600")
                                    .arg(c.mqtt.passwordFile)
                                    .arg(st.st_mode & 0777, 4, 8, QLatin1Char('0'))};
    }
    QFile f(c.mqtt.passwordFile);
    if (!f.open(QIODevice::ReadOnly)) {
        return ConfigError{key, QStringLiteral("\"%1\" cannot be read").arg(c.mqtt.passwordFile)};
    }
    // The first line, without its line end.
    c.mqtt.password = QString::fromUtf8(f.read(4096).split('\n').first()).remove(QLatin1Char('\r'));
    return std::nullopt;
}

QString MonitorConfigReader::Describe(const MonitorConfig& c) {
    QString out;
    for (const Key& k : Keys()) {
        out += QLatin1String(k.name) + QStringLiteral(" = ") + k.show(c) + QLatin1Char('\n');
    }
    out += QStringLiteral("mqtt.password = ") +
           (c.mqtt.password.isEmpty() ? QStringLiteral("(none)")
                                      : QStringLiteral("(set, not shown)")) +
           QLatin1Char('\n');
    if (!c.paramsFile.isEmpty()) {
        out += QStringLiteral("params = ") + c.paramsFile + QLatin1Char('\n');
    }
    return out;
}

}  // namespace tuvik::monitor
