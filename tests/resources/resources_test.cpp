#include "resources/resources.h"

#include <gtest/gtest.h>

#include <QImage>
#include <set>
#include <vector>

#include "resources/resource_ids.h"
#include "resources/skin_table.h"

namespace {

struct SizeGroup {
  int width, height;
  std::vector<int> ids;
};

// The bitmap table of the main window's layout, by size.
const SizeGroup kSizes[] = {
    {975, 635, {421}},
    {393, 14, {443, 444, 518, 519}},
    {325, 18, {537, 558, 559}},
    {161, 24, {428, 429, 430, 431, 432, 433, 448, 449, 450, 475, 476, 477}},
    {157, 27, {515, 516, 517}},
    {140, 25, {505, 506}},
    {81, 14, {422, 423}},
    {65, 24, {417, 418, 437, 438, 445, 446, 457, 458, 463, 464}},
    {31, 17, {460, 461, 472, 473}},
    {30, 23, {454, 455}},
    {30, 20, {425, 426}},
    {27, 22, {494, 495}},
    {25, 25, {434, 435, 440, 441, 451, 452, 502, 503}},
    {25, 16, {478, 479, 481, 482}},
    {24, 25, {424}},
    {21, 21, {484, 485, 496, 497}},
    {19, 17, {466, 467}},
    {17, 16, {489, 490}},
    {15, 17, {469, 511}},
    {14, 14, {420}},
    {14, 45, {513}},
    {14, 40, {514}},
};

TEST(SkinBitmaps, EveryListedIdLoadsAtItsExactSize) {
  size_t count = 0;
  for (const SizeGroup& g : kSizes) {
    for (int id : g.ids) {
      QImage image = LoadSkinBitmap(id);
      ASSERT_FALSE(image.isNull()) << "bitmap " << id;
      EXPECT_EQ(image.size(), QSize(g.width, g.height)) << "bitmap " << id;
      EXPECT_EQ(image.format(), QImage::Format_RGB32) << "bitmap " << id;
      ++count;
    }
  }
  EXPECT_EQ(count, SkinBitmaps().size());
}

TEST(SkinBitmaps, UnknownIdGivesNullImage) {
  for (int id : {0, -1, 221, 999, IDI_APP}) EXPECT_TRUE(LoadSkinBitmap(id).isNull()) << id;
}

// Pixels of colour key that can be reached from the image border through key pixels, and
// all pixels of that colour.
std::pair<int, int> KeyPixels(const QImage& image, QRgb key) {
  const int w = image.width(), h = image.height();
  std::vector<char> seen(w * h, 0);
  std::vector<QPoint> stack;
  auto isKey = [&](int x, int y) { return (image.pixel(x, y) & 0xFFFFFF) == (key & 0xFFFFFF); };
  for (int x = 0; x < w; ++x) stack.insert(stack.end(), {QPoint(x, 0), QPoint(x, h - 1)});
  for (int y = 0; y < h; ++y) stack.insert(stack.end(), {QPoint(0, y), QPoint(w - 1, y)});
  int reached = 0;
  while (!stack.empty()) {
    QPoint p = stack.back();
    stack.pop_back();
    if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h) continue;
    if (seen[p.y() * w + p.x()] || !isKey(p.x(), p.y())) continue;
    seen[p.y() * w + p.x()] = 1;
    ++reached;
    for (QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
      stack.push_back(p + d);
    }
  }
  int total = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) total += isKey(x, y);
  }
  return {reached, total};
}

TEST(SkinBitmaps, KeyColourOnlyWhereTheWindowShowsThrough) {
  const struct {
    QRgb key;
    std::vector<int> ids;
  } kKeyed[] = {
      {qRgb(0, 0, 0),
       {466, 467, 489, 490, 472, 473, 478, 479, 469, 511, 481, 482, 460, 461, 496, 497, 425, 426,
        484, 485, 424, 463, 464, 437, 438, 457, 458, 445, 446, 417, 418}},
      {qRgb(255, 0, 255),
       {440, 441, 451, 452, 434, 435, 502, 503, 431, 432, 433, 517, 516, 515, 428, 429, 430, 505,
        506}},
  };
  for (const auto& group : kKeyed) {
    for (int id : group.ids) {
      QImage image = LoadSkinBitmap(id);
      auto [reached, total] = KeyPixels(image, group.key);
      EXPECT_GT(reached, 0) << "bitmap " << id << " has no see-through border";
      EXPECT_EQ(reached, total) << "bitmap " << id << " uses its key colour inside the art";
      EXPECT_LT(total, image.width() * image.height()) << "bitmap " << id << " is empty";
    }
  }
}

TEST(SkinBitmaps, SliderPartsTakeTheirKeyFromTheTopLeftPixel) {
  for (int id : {443, 444, 518, 519, 422, 423, 420}) {
    QImage image = LoadSkinBitmap(id);
    QRgb key = image.pixel(0, 0);
    auto [reached, total] = KeyPixels(image, key);
    EXPECT_EQ(reached, total) << "bitmap " << id;
    QRgb middle = image.pixel(image.width() / 2, image.height() / 2);
    EXPECT_NE(middle, key) << "bitmap " << id << " shows nothing in its middle";
  }
}

TEST(SkinBitmaps, PressedImagesDifferFromNormal) {
  const std::pair<int, int> kPairs[] = {{466, 467}, {489, 490}, {472, 473}, {478, 479},
                                        {481, 482}, {460, 461}, {496, 497}, {425, 426},
                                        {484, 485}, {463, 464}, {434, 435}, {454, 455},
                                        {495, 494}, {431, 432}, {505, 506}, {443, 444}};
  for (auto [normal, down] : kPairs) {
    EXPECT_NE(LoadSkinBitmap(normal), LoadSkinBitmap(down)) << normal << " / " << down;
  }
}

TEST(AppIcon, HasTwoSizesAndUnknownIdIsNull) {
  QIcon icon = LoadAppIcon(IDI_APP);
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.pixmap(QSize(32, 32)).size(), QSize(32, 32));
  EXPECT_EQ(icon.pixmap(QSize(16, 16)).size(), QSize(16, 16));
  EXPECT_TRUE(LoadAppIcon(IDB_BACKGROUND).isNull());
}

TEST(UiLanguage, PrimaryLanguageChoosesTheTextSet) {
  const std::pair<unsigned, UiLanguage> kCases[] = {
      {0x411, UiLanguage::kJapanese}, {0x11, UiLanguage::kJapanese},
      {0x412, UiLanguage::kKorean},   {0x812, UiLanguage::kKorean},
      {0x409, UiLanguage::kEnglish},  {0x407, UiLanguage::kEnglish},
      {0, UiLanguage::kEnglish},      {0x10411, UiLanguage::kJapanese}};
  for (auto [langId, expected] : kCases) EXPECT_EQ(UiLanguageFromLangId(langId), expected) << langId;
  EXPECT_EQ(UiLanguageFromLangId(SystemLangId()), SystemUiLanguage());
}

}  // namespace
