// The skin generator's parts: one function per kind of bitmap.
#pragma once

#include <QImage>

#include "resources/resources.h"
#include "resources/skin_gen/skin_art.h"

namespace skin {

// One of three texts by language, for words drawn into the skin.
struct Words {
  const char* english;
  const char* korean;
  const char* japanese;
  QString In(UiLanguage lang) const;
};
// The family that has the glyphs of lang's script as that script writes them.
const char* FontFamily(UiLanguage lang);

QImage DrawBackground(UiLanguage lang);
// The bitmap with resource id, drawn at size w x h with its words in lang; a null image for
// an id without art.
QImage DrawBitmap(int id, int w, int h, UiLanguage lang);
// The application icon at size x size.
QImage DrawIcon(int size);

}  // namespace skin
