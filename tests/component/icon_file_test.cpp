// The Windows program file's icon (src/app/windows/vesk-hb.ico) is made once
// from the program's drawing by vhb-make-icon and committed; these tests
// keep the two from drifting apart and check the file's directory.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include "icon_file.h"

namespace {

const char* const kRemake = "; remake it: build/bin/vhb-make-icon src/app/windows/vesk-hb.ico";

QByteArray committedIcon() {
    QFile file(QStringLiteral(VHB_ICON_FILE));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << VHB_ICON_FILE;
    return file.readAll();
}

quint32 le(const QByteArray& data, qsizetype at, int bytes) {
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | quint8(data.at(at + i));
    }
    return v;
}

TEST(IconFile, DirectoryListsEachSideAt32BitsInsideTheFile) {
    const QByteArray data = committedIcon();
    ASSERT_GE(data.size(), 6);
    EXPECT_EQ(le(data, 0, 2), 0u);
    EXPECT_EQ(le(data, 2, 2), 1u);  // an icon, not a cursor
    ASSERT_EQ(le(data, 4, 2), vhb::kIconFileSides.size());
    for (size_t i = 0; i < vhb::kIconFileSides.size(); ++i) {
        const qsizetype e = 6 + 16 * qsizetype(i);
        const quint32 side = vhb::kIconFileSides[i] % 256;  // 0 stands for 256
        EXPECT_EQ(le(data, e, 1), side);
        EXPECT_EQ(le(data, e + 1, 1), side);
        EXPECT_EQ(le(data, e + 4, 2), 1u);
        EXPECT_EQ(le(data, e + 6, 2), 32u);
        EXPECT_LE(qsizetype(le(data, e + 12, 4)) + le(data, e + 8, 4), data.size());
    }
}

// Compared image by image, as Qt reads the file: the PNG compressor may
// change with the system's libraries, the pixels must not.
TEST(IconFile, CommittedFileShowsWhatTheDrawingGivesNow) {
    QByteArray data = committedIcon();
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "ico");
    ASSERT_TRUE(reader.canRead()) << "Qt's ico reader is missing or the file is broken";
    ASSERT_EQ(reader.imageCount(), int(vhb::kIconFileSides.size())) << kRemake;
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage read = reader.read().convertToFormat(QImage::Format_ARGB32);
        const int side = vhb::kIconFileSides[size_t(i)];
        EXPECT_EQ(read.size(), QSize(side, side));
        EXPECT_TRUE(read == vhb::iconFileImage(side)) << side << " px differs" << kRemake;
    }
}

// The writer's own output reads back as the drawing: its bitmap rows, mask
// and PNG are what a reader expects.
TEST(IconFile, WrittenFileReadsBackAsTheDrawing) {
    QByteArray data = vhb::iconFile();
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "ico");
    ASSERT_EQ(reader.imageCount(), int(vhb::kIconFileSides.size()));
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const int side = vhb::kIconFileSides[size_t(i)];
        const QImage image = vhb::iconFileImage(side);
        EXPECT_TRUE(reader.read().convertToFormat(QImage::Format_ARGB32) == image) << side;
        // The drawing is a round face: corners transparent, centre opaque.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << side;
        EXPECT_EQ(qAlpha(image.pixel(side / 2, side / 2)), 255) << side;
    }
}

}  // namespace
