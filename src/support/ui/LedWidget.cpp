#include "support/ui/LedWidget.h"

#include <QFile>

namespace tuvik {

namespace {
constexpr int kLedSize = 16;
}

QPixmap PictureFromBytes(const QByteArray& bytes) {
    QPixmap p;
    p.loadFromData(bytes);
    return p;
}

QPixmap LedPicture(const QString& name) {
    const QString key = name.toLower();
    if (key != QLatin1String("grey") && key != QLatin1String("green") &&
        key != QLatin1String("red")) {
        return {};
    }
    QFile f(QStringLiteral(":/led_") + key + QStringLiteral(".png"));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return PictureFromBytes(f.readAll());
}

LedPictures LoadLedPictures() {
    LedPictures p;
    p.LedGrey = LedPicture(QStringLiteral("GREY"));
    p.LedGreen = LedPicture(QStringLiteral("GREEN"));
    p.LedRed = LedPicture(QStringLiteral("RED"));
    return p;
}

LedWidget::LedWidget(QWidget* parent) : QLabel(parent) {
    setFixedSize(kLedSize, kLedSize);
    setScaledContents(false);
}

void LedWidget::setPicture(const QPixmap& picture) {
    // The LEDs are set on every measurement reply; most of the time nothing changes.
    if (picture.cacheKey() == picture_.cacheKey()) {
        return;
    }
    picture_ = picture;
    setPixmap(picture);
}

}  // namespace tuvik
