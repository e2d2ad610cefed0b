#include "app/icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vhb {

namespace {
QPixmap drawIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.scale(s, s);
    p.setPen(QPen(QColor(10, 60, 90), 1.5));
    p.setBrush(QColor(30, 140, 200));
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    QPainterPath pulse;
    pulse.moveTo(4, 17);
    pulse.lineTo(10, 17);
    pulse.lineTo(13, 9);
    pulse.lineTo(17, 25);
    pulse.lineTo(20, 14);
    pulse.lineTo(22, 17);
    pulse.lineTo(28, 17);
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(pulse);
    return pm;
}
}  // namespace

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(drawIcon(size));
    return icon;
}

}  // namespace vhb
