#include "shell/ConnectionSettings.h"

#include "support/Numbers.h"
#include "support/UserDialogs.h"

namespace tuvik {

namespace {

const QString kGroup = QStringLiteral("Settings");
const QString kComPort = QStringLiteral("ComPort");
const QString kComSpeed = QStringLiteral("ComSpeed");
const QString kRefreshRate = QStringLiteral("RefreshRate");

QString ReadText(QSettings& store, const QString& name, const QString& fallback) {
    const QVariant v = store.value(name);
    // Only a text counts; anything else stored under the name is ignored.
    if (v.typeId() != QMetaType::QString && v.typeId() != QMetaType::QByteArray) {
        return fallback;
    }
    QString text = v.toString();
    // A text stored with a terminating NUL ends there.
    if (const qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0) {
        text.truncate(nul);
    }
    return text.isEmpty() ? fallback : text;
}

}  // namespace

SettingsOpener DefaultSettingsOpener() {
    return [] { return std::make_unique<QSettings>(AppTitle(), AppTitle()); };
}

ConnectionTexts LoadConnectionSettings(QSettings& store) {
    store.beginGroup(kGroup);
    ConnectionTexts t{ReadText(store, kComPort, ConnectionDefaults::ComPort()),
                      ReadText(store, kComSpeed, ConnectionDefaults::Speed()),
                      ReadText(store, kRefreshRate, ConnectionDefaults::Refresh())};
    store.endGroup();
    return t;
}

QString StoredNumberText(const QString& boxText) {
    // Always with "." so that the stored text reads back the same in any locale.
    return DoubleText(TextToNumber(boxText), QLatin1Char('.'));
}

QString StoredPortText(const QString& boxText) {
    const QString t = boxText.trimmed();
    const bool numberLike = t.isEmpty() || t[0].isDigit() || t[0] == u'.' || t[0] == u'-' ||
                            t[0] == u'+' || t[0] == u'&';
    return numberLike ? StoredNumberText(boxText) : t;
}

void SaveConnectionSettings(QSettings& store, const ConnectionTexts& boxes) {
    store.beginGroup(kGroup);
    store.setValue(kComPort, StoredPortText(boxes.comPort));
    store.setValue(kComSpeed, StoredNumberText(boxes.speed));
    store.setValue(kRefreshRate, StoredNumberText(boxes.refresh));
    store.endGroup();
    store.sync();
}

}  // namespace tuvik
