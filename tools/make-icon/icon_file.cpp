#include "icon_file.h"

#include <QBuffer>
#include <QDataStream>
#include <QPainter>

#include "app/icon.h"

namespace vhb {

namespace {

// BITMAPINFOHEADER, the colour rows bottom-up as BGRA, then the AND mask
// (1 where the pixel is fully transparent), each row padded to 4 bytes.
QByteArray bitmapEntry(const QImage& image) {
    const int w = image.width();
    const int h = image.height();
    const int maskRow = (w + 31) / 32 * 4;
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
      << quint32(w * h * 4 + maskRow * h) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, y);
            s << quint8(qBlue(p)) << quint8(qGreen(p)) << quint8(qRed(p)) << quint8(qAlpha(p));
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) {
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
        s.writeRawData(row.constData(), row.size());
    }
    return out;
}

QByteArray pngEntry(const QImage& image) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

}  // namespace

QImage iconFileImage(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    programIcon().paint(&painter, image.rect());
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QByteArray iconFile() {
    QList<QByteArray> entries;
    for (int side : kIconFileSides) {
        const QImage image = iconFileImage(side);
        entries.append(side >= 256 ? pngEntry(image) : bitmapEntry(image));
    }
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s << quint16(0) << quint16(1) << quint16(entries.size());
    quint32 offset = 6 + 16 * entries.size();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const int side = kIconFileSides[i];
        const quint8 byteSide = side >= 256 ? 0 : quint8(side);  // 0 stands for 256
        s << byteSide << byteSide << quint8(0) << quint8(0) << quint16(1) << quint16(32)
          << quint32(entries[i].size()) << offset;
        offset += entries[i].size();
    }
    for (const QByteArray& entry : entries) {
        s.writeRawData(entry.constData(), entry.size());
    }
    return out;
}

}  // namespace vhb
