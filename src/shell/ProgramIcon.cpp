#include "shell/ProgramIcon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tuvik {

namespace {

// The desktop entry's 64 x 64 drawing, scaled to the given size.
QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    p.setPen(QPen(QColor(0x5a, 0x64, 0x70), 2));
    p.setBrush(QColor(0x10, 0x14, 0x18));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 8, 8);

    p.setPen(QPen(QColor(0x3a, 0x40, 0x48), 1));
    for (int y : {16, 28, 40, 52}) {
        p.drawLine(QPointF(8, y), QPointF(56, y));
    }

    QPainterPath flame;
    flame.moveTo(32, 12);
    flame.cubicTo(40, 22, 44, 28, 44, 36);
    flame.arcTo(QRectF(20, 24, 24, 24), 0, -180);
    flame.cubicTo(20, 30, 24, 26, 27, 22);
    flame.cubicTo(28, 28, 30, 30, 33, 30);
    flame.cubicTo(31, 24, 31, 18, 32, 12);
    flame.closeSubpath();
    p.setPen(QPen(QColor(0xff, 0xd3, 0x5a), 1.5));
    p.setBrush(QColor(0xff, 0x7a, 0x1a));
    p.drawPath(flame);

    const QPointF trend[] = {{6, 48}, {16, 48}, {22, 44}, {30, 46}, {38, 38}, {46, 40}, {58, 30}};
    p.setPen(QPen(QColor(0x33, 0xd6, 0xff), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(trend, static_cast<int>(std::size(trend)));
    return image;
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        icon.addPixmap(QPixmap::fromImage(DrawIcon(size)));
    }
    return icon;
}

}  // namespace tuvik
