#include "monitor/DeviceId.h"

#include <QDir>
#include <QFileInfo>

#include "link/SerialLink.h"

namespace tuvik::monitor {

QString ReduceDeviceId(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        const bool keep = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
                          (u >= u'0' && u <= u'9') || u == u'_' || u == u'-';
        if (!keep) {
            c = QLatin1Char('_');
        }
    }
    return out;
}

QString StableLinkName(const LinkConfig& link, const QString& byIdDir) {
    if (!link.tcp.isEmpty()) {
        return link.tcp;
    }
    QString port = SerialLink::PortNameFor(link.serial);
    if (QFileInfo(port).isRelative()) {
        port.prepend(QStringLiteral("/dev/"));  // a device name, as the serial port takes it
    }
    const QFileInfo info(port);
    if (QFileInfo(info.absolutePath()) == QFileInfo(byIdDir)) {
        return info.fileName();  // named by its stable entry already
    }
    const QString target = info.canonicalFilePath();
    if (!target.isEmpty()) {
        const QFileInfoList entries =
            QDir(byIdDir).entryInfoList(QDir::Files | QDir::System, QDir::Name);
        for (const QFileInfo& e : entries) {
            if (e.canonicalFilePath() == target) {
                return e.fileName();
            }
        }
    }
    return info.fileName();
}

QString DeviceIdFor(const MonitorConfig& config, const QString& hostName, const QString& byIdDir) {
    if (!config.deviceId.isEmpty()) {
        return ReduceDeviceId(config.deviceId);
    }
    return ReduceDeviceId(hostName + QLatin1Char('-') + StableLinkName(config.link, byIdDir));
}

}  // namespace tuvik::monitor
