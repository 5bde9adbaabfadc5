// Colours as the skin code states them: 0x00BBGGRR values (so 0xFF0000 is blue), with
// 0xFF000000 reserved for "the colour of a chosen pixel of the bitmap".
#pragma once

#include <QColor>
#include <cstdint>

using ColorRef = uint32_t;

constexpr ColorRef kKeyFromPixel = 0xFF000000;

constexpr ColorRef MakeColorRef(int r, int g, int b) {
  return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

inline QRgb ColorRefToRgb(ColorRef c) {
  return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

inline ColorRef RgbToColorRef(QRgb rgb) { return MakeColorRef(qRed(rgb), qGreen(rgb), qBlue(rgb)); }
