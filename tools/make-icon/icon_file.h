#pragma once
#include <QByteArray>
#include <QImage>
#include <array>

namespace vhb {

// The sides of the images in the program file's icon: the notification
// area's and Explorer's sizes, 256 for large views.
inline constexpr std::array<int, 5> kIconFileSides{16, 24, 32, 48, 256};

// The program's icon drawn at side x side pixels, with straight alpha.
QImage iconFileImage(int side);

// The .ico file of those images: 32-bit bitmaps with a transparency mask,
// the largest as PNG (as Windows expects at 256 pixels).
QByteArray iconFile();

}  // namespace vhb
