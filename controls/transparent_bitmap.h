// Key-colour drawing of bitmaps with raster operations, as the skin does it. A mask is an
// RGB32 image whose pixels are exactly white (key colour: see-through) or black.
#pragma once

#include <QImage>
#include <QPoint>

#include "controls/color_ref.h"

class QPainter;

// The mask of bitmap for key colour key (compared on RGB only).
QImage MakeMask(const QImage& bitmap, QRgb key);

// Draws bitmap at its own size at `at` with its key-coloured pixels see-through: XOR the
// bitmap, AND the mask, XOR the bitmap again, so key pixels keep the target's content.
void DrawKeyed(QPainter& target, QPoint at, const QImage& bitmap, ColorRef key);

// Makes maskOut for bitmap and turns bitmap's key pixels black, ready for DrawTransparent.
// A key of kKeyFromPixel takes the colour of the pixel at (keyX, keyY). Returns false and
// changes nothing when bitmap is null or the key pixel lies outside it.
bool PrepareMask(QImage& bitmap, QImage& maskOut, ColorRef key, int keyX, int keyY);

// ANDs mask onto the target rectangle (x, y, width, height), then ORs the prepared bitmap,
// both taken from (srcX, srcY).
void DrawTransparent(QPainter& target, int x, int y, int width, int height,
                     const QImage& prepared, int srcX, int srcY, const QImage& mask);
