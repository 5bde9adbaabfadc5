// Loading the program's resources: skin bitmaps, strings in the user-interface language and
// the application icon. All functions are for the GUI thread (they use Qt's resource system).
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

#include "resources/string_table.h"

enum class UiLanguage { kKorean, kEnglish, kJapanese };

// The text set for a platform language identifier: primary language (id & 0x3FF) 0x11 is
// Japanese, 0x12 Korean, anything else English.
UiLanguage UiLanguageFromLangId(unsigned langId);
// The language identifier of the user's locale (Japanese 0x11, Korean 0x12, English 0x09,
// other languages 0), taken from QLocale::system().
unsigned SystemLangId();
UiLanguage SystemUiLanguage();

// Makes lang the language of the words drawn in the skin (LoadSkinBitmap) and of Qt's own
// texts (standard dialog buttons, file dialogs), from Qt's installed translations. English
// until called. Process-wide, like the locale: the window calls it before it loads its skin.
void UseUiLanguage(UiLanguage lang);
// The ending of the file name of lang's variant of a worded skin bitmap ("ko", "ja"; empty
// for English, whose pictures carry no ending).
inline const char* SkinLanguageSuffix(UiLanguage lang) {
  return lang == UiLanguage::kKorean ? "ko" : lang == UiLanguage::kJapanese ? "ja" : "";
}

// The skin bitmap id as an opaque Format_RGB32 image with its key colours exact, its words in
// the language UseUiLanguage chose; a null image when the skin has no such id.
QImage LoadSkinBitmap(int id);

// The text stored at a string id; empty when there is no such id.
QString LoadString(int id);
// The text of the message that id belongs to, in language lang; empty for an unknown id.
QString LoadString(int id, UiLanguage lang);
// A string-table text as shown: the formatter step that turns each "%%" into "%".
QString FormatResourceText(const QString& text);
// One of three UTF-8 texts by language, for messages the string table does not hold.
QString PickText(UiLanguage lang, const char* ko, const char* en, const char* ja);
// The id of ids for language lang.
int PickStringId(const StringIds& ids, UiLanguage lang);

// The icon id (16 and 32 pixel sizes); a null icon for an unknown id.
QIcon LoadAppIcon(int id);
