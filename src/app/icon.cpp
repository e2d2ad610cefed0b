#include "app/icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

namespace vhb {

namespace {

void drawFace(QPainter& p, const QRect& rect) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(rect.topLeft());
    p.scale(rect.width() / 32.0, rect.height() / 32.0);
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
    p.restore();
}

// Draws the image at the size asked for, when it is asked for: a program
// whose icon nobody shows (no notification area) never loads the painting
// code, and each tray gets a crisp image at its own size.
class FaceEngine : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        drawFace(*painter, rect);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        if (size != drawn_.size()) {
            QPixmap pm(size);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            drawFace(p, pm.rect());
            p.end();
            drawn_ = pm;
        }
        return drawn_;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
    }
    QString key() const override { return QStringLiteral("vhb-face"); }
    QIconEngine* clone() const override { return new FaceEngine; }

private:
    QPixmap drawn_;  // the latest size asked for: trays ask again at every repaint
};

}  // namespace

QIcon programIcon() {
    return QIcon(new FaceEngine);
}

}  // namespace vhb
