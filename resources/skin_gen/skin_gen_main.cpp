// roadkeep-skingen OUTDIR: draws every skin bitmap and the icon into OUTDIR as PNG files and
// writes OUTDIR/skin.qrc listing them under the prefix /skin. Run by the build. A bitmap
// with words is drawn once per language: ID.png in English, ID_ko.png and ID_ja.png where
// the Korean or Japanese picture differs from the English one. The desktop's icons go to
// OUTDIR/hicolor/.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "resources/resource_ids.h"
#include "resources/skin_gen/skin_gen.h"
#include "resources/skin_table.h"

namespace {

bool Save(const QImage& image, const QString& path) {
  if (image.isNull() || !image.save(path, "PNG")) {
    std::fprintf(stderr, "roadkeep-skingen: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: roadkeep-skingen OUTDIR\n");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.mkpath(".")) return 1;
  QStringList files;
  for (const SkinBitmapInfo& b : SkinBitmaps()) {
    QImage image = skin::DrawBitmap(b.id, b.width, b.height, UiLanguage::kEnglish);
    if (image.size() != QSize(b.width, b.height)) {
      std::fprintf(stderr, "roadkeep-skingen: bitmap %d has no art of %dx%d\n", b.id, b.width,
                   b.height);
      return 1;
    }
    QString name = QStringLiteral("%1.png").arg(b.id);
    if (!Save(image, out.filePath(name))) return 1;
    files << name;
    for (UiLanguage lang : {UiLanguage::kKorean, UiLanguage::kJapanese}) {
      QImage worded = skin::DrawBitmap(b.id, b.width, b.height, lang);
      if (worded == image) continue;
      QString variant = QStringLiteral("%1_%2.png").arg(b.id).arg(SkinLanguageSuffix(lang));
      if (!Save(worded, out.filePath(variant))) return 1;
      files << variant;
    }
  }
  for (int size : {16, 32}) {
    QString name = QStringLiteral("icon_%1_%2.png").arg(IDI_APP).arg(size);
    if (!Save(skin::DrawIcon(size), out.filePath(name))) return 1;
    files << name;
  }
  // The desktop's icons (installed, not compiled in), in the hicolor theme's layout.
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
    if (!out.mkpath(folder) ||
        !Save(skin::DrawIcon(size), out.filePath(folder + "/org.roadkeep.Roadkeep.png"))) {
      return 1;
    }
  }
  QFile qrc(out.filePath("skin.qrc"));
  if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
  QTextStream s(&qrc);
  s << "<RCC>\n  <qresource prefix=\"/skin\">\n";
  for (const QString& f : files) s << "    <file>" << f << "</file>\n";
  s << "  </qresource>\n</RCC>\n";
  return 0;
}
