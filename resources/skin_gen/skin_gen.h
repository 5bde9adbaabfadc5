// The skin generator's parts: one function per kind of bitmap.
#pragma once

#include <QImage>

#include "resources/skin_gen/skin_art.h"

namespace skin {

QImage DrawBackground();
// The bitmap with resource id, drawn at size w x h; a null image for an id without art.
QImage DrawBitmap(int id, int w, int h);
// The application icon at size x size.
QImage DrawIcon(int size);

}  // namespace skin
