#include "resources/resources.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "resources/resource_ids.h"
#include "resources/skin_table.h"

// The skin is a static library's resource: make sure its initialiser ran.
static void EnsureSkinResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(skin);
    return true;
  }();
  (void)done;
}

UiLanguage UiLanguageFromLangId(unsigned langId) {
  switch (langId & 0x3FF) {
    case 0x11:
      return UiLanguage::kJapanese;
    case 0x12:
      return UiLanguage::kKorean;
    default:
      return UiLanguage::kEnglish;
  }
}

unsigned SystemLangId() {
  switch (QLocale::system().language()) {
    case QLocale::Japanese:
      return 0x11;
    case QLocale::Korean:
      return 0x12;
    case QLocale::English:
      return 0x09;
    default:
      return 0;
  }
}

UiLanguage SystemUiLanguage() { return UiLanguageFromLangId(SystemLangId()); }

namespace {

UiLanguage g_skinLanguage = UiLanguage::kEnglish;
std::unique_ptr<QTranslator> g_qtTranslator;  // installed in the application while set

}  // namespace

void UseUiLanguage(UiLanguage lang) {
  g_skinLanguage = lang;
  if (g_qtTranslator) QCoreApplication::removeTranslator(g_qtTranslator.get());
  g_qtTranslator.reset();
  if (lang == UiLanguage::kEnglish) return;
  auto translator = std::make_unique<QTranslator>();
  const QLocale locale(lang == UiLanguage::kKorean ? QLocale::Korean : QLocale::Japanese);
  // Without Qt's translations installed, Qt's own texts stay English; the rest still follows.
  if (translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator.get())) {
    g_qtTranslator = std::move(translator);
  }
}

QImage LoadSkinBitmap(int id) {
  if (FindSkinBitmap(id) == nullptr) return QImage();
  EnsureSkinResources();
  QString path = QStringLiteral(":/skin/%1.png").arg(id);
  if (g_skinLanguage != UiLanguage::kEnglish) {
    const QString worded =
        QStringLiteral(":/skin/%1_%2.png").arg(id).arg(SkinLanguageSuffix(g_skinLanguage));
    if (QFile::exists(worded)) path = worded;
  }
  QImage image(path);
  if (image.isNull()) return image;
  return image.convertToFormat(QImage::Format_RGB32);
}

int PickStringId(const StringIds& ids, UiLanguage lang) {
  switch (lang) {
    case UiLanguage::kKorean:
      return ids.korean;
    case UiLanguage::kJapanese:
      return ids.japanese;
    case UiLanguage::kEnglish:
      break;
  }
  return ids.english;
}

static const StringMessage* FindMessage(int id) {
  for (const StringMessage& m : StringMessages()) {
    if (m.ids.korean == id || m.ids.english == id || m.ids.japanese == id) return &m;
  }
  return nullptr;
}

static QString TextOf(const StringMessage& m, UiLanguage lang) {
  switch (lang) {
    case UiLanguage::kKorean:
      return QString::fromUtf8(m.korean);
    case UiLanguage::kJapanese:
      return QString::fromUtf8(m.japanese);
    case UiLanguage::kEnglish:
      break;
  }
  return QString::fromUtf8(m.english);
}

QString LoadString(int id) {
  const StringMessage* m = FindMessage(id);
  if (m == nullptr) return QString();
  if (id == m->ids.english) return TextOf(*m, UiLanguage::kEnglish);
  if (id == m->ids.korean) return TextOf(*m, UiLanguage::kKorean);
  return TextOf(*m, UiLanguage::kJapanese);
}

QString LoadString(int id, UiLanguage lang) {
  const StringMessage* m = FindMessage(id);
  return m == nullptr ? QString() : TextOf(*m, lang);
}

QString FormatResourceText(const QString& text) {
  QString shown = text;
  return shown.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

QIcon LoadAppIcon(int id) {
  if (id != IDI_APP) return QIcon();
  EnsureSkinResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/skin/icon_%1_16.png").arg(id), QSize(16, 16));
  icon.addFile(QStringLiteral(":/skin/icon_%1_32.png").arg(id), QSize(32, 32));
  return icon;
}

QString PickText(UiLanguage lang, const char* ko, const char* en, const char* ja) {
  return QString::fromUtf8(lang == UiLanguage::kKorean     ? ko
                           : lang == UiLanguage::kJapanese ? ja
                                                           : en);
}
