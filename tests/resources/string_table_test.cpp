#include <gtest/gtest.h>

#include <QRegularExpression>
#include <set>

#include "resources/resources.h"

namespace {

struct Expected {
  int korean, english, japanese;
  const char* englishText;   // exact
  const char* japaneseText;  // exact, or nullptr where the texts are ours
};

// Every message the program shows, with the three ids and the texts it must show.
const Expected kExpected[] = {
    {413, 414, 546, "Are you sure you want to quit?", "終了しますか。"},
    {415, 416, 547, "Select", "選択"},
    {431, 442, 553, "Type", nullptr},
    {405, 406, 542, "FileName", nullptr},
    {407, 408, 543, "Date", nullptr},
    {443, 444, 555, "Rear", nullptr},
    {409, 410, 544, "Size", nullptr},
    {411, 412, 545, "Path", nullptr},
    {445, 446, 556, "Cannot read the SD card.\nPlease try again.",
     "SDカードを認識できませんでした。\nしばらくしてから再度試みてください。"},
    {447, 448, 557, "Please select the file to save. ", "保存するファイルを選択してください。"},
    {521, 522, 523, "Specify Storage Folder", "保存フォルダ指定"},
    {421, 422, 548, "No valid KT5 information.\nPlease try again. ", nullptr},
    {423, 424, 549, "Black box Setting Error", "ドライブレコーダー設定エラー"},
    {425, 426, 550, "Check Storage Settings\nTotal Storage is 100%%",
     "保存領域設定を確認してください。\n保存領域の合計は100%%です。"},
    {518, 519, 520, "Cancel", "キャンセル"},
    {398, 399, 539, "KT5 Settings", "KT5環境設定"},
    {312, 313, 463, "Storage(%%)", "保存領域(%%)"},
    {314, 315, 464, "Driving (%%)", "走行録画(%%)"},
    {316, 317, 465, "Parking (%%)", "駐車録画(%%)"},
    {318, 319, 466, "Event (%%)", "イベント録画(%%)"},
    {320, 321, 467, "User (%%)", "手動録画(%%)"},
    {322, 323, 468, "Caution! Total rate is 100%%", "(注意)保存領域の合計は100%%です。"},
    {324, 325, 469, "Battery Protection", "バッテリー遮断"},
    {330, 331, 472, "Time Settings", "時刻設定"},
    {338, 339, 476, "PC time sync", "PC時刻同期化"},
    {340, 341, 477, "Version", "バージョン情報"},
    {400, 401, 540, "PC Viewer", "PC Viewer"},
    {342, 343, 478, "Model", "モデル"},
    {344, 345, 479, "Firmware", "ファームウェア"},
    {346, 347, 480, "Settings", "設定"},
    {352, 353, 483, "Voice Recording", "音声録音"},
    {354, 355, 484, "Voice guide", "音声案内"},
    {356, 357, 485, "Impact Sensitivity", "衝撃感度"},
    {362, 363, 488, "Motion detection", "モーション感度"},
    {358, 359, 486, "Low", "鈍感"},
    {461, 462, 561, "Normal", "普通"},
    {360, 361, 487, "High", "敏感"},
    {457, 458, 559, "Yes", "使用する"},
    {459, 460, 560, "No", "使用しない"},
    {497, 498, 499, "Bike Mode", "バイクモード"},
    {500, 506, 512, "Y", "年"},
    {501, 507, 513, "M", "月"},
    {502, 508, 514, "D", "日"},
    {503, 509, 515, "H", "時"},
    {504, 510, 516, "M", "分"},
    {505, 511, 517, "S", "秒"},
    {396, 397, 538, "Save", "保存"},
    {620, 621, 622,
     "The settings could not be saved.\nCheck that the card is inserted and not write-protected.",
     nullptr},
    {623, 624, 625,
     "The card's blackbox.cfg is too large to be a settings file.\nIt was left as it is.", nullptr},
    {626, 627, 628,
     "The card's settings file is a link, which no recorder makes.\nIt was neither read nor written.",
     nullptr},
};

bool HasHangul(const QString& s) {
  return s.contains(QRegularExpression(QStringLiteral("[\\x{AC00}-\\x{D7A3}]")));
}

TEST(StringTable, EveryMessageHasItsThreeTexts) {
  for (const Expected& e : kExpected) {
    SCOPED_TRACE(e.englishText);
    EXPECT_EQ(LoadString(e.english), QString::fromUtf8(e.englishText));
    QString japanese = LoadString(e.japanese);
    EXPECT_FALSE(japanese.isEmpty());
    if (e.japaneseText != nullptr) {
      EXPECT_EQ(japanese, QString::fromUtf8(e.japaneseText));
    }
    EXPECT_TRUE(HasHangul(LoadString(e.korean))) << e.korean;
    // Any of the three ids finds the message in each language.
    for (int id : {e.korean, e.english, e.japanese}) {
      EXPECT_EQ(LoadString(id, UiLanguage::kEnglish), LoadString(e.english));
      EXPECT_EQ(LoadString(id, UiLanguage::kJapanese), japanese);
      EXPECT_EQ(LoadString(id, UiLanguage::kKorean), LoadString(e.korean));
    }
  }
}

TEST(StringTable, IdsAreUniqueAndEveryTableEntryIsExpected) {
  std::set<int> expected = {402};
  for (const Expected& e : kExpected) expected.insert({e.korean, e.english, e.japanese});
  std::multiset<int> listed;
  for (const StringMessage& m : StringMessages()) {
    if (m.ids.english == 402) continue;
    listed.insert({m.ids.korean, m.ids.english, m.ids.japanese});
  }
  listed.insert(402);
  EXPECT_EQ(listed.size(), expected.size()) << "an id is listed twice or is unknown";
  for (int id : listed) EXPECT_EQ(expected.count(id), 1u) << id;
}

TEST(StringTable, TitleIsTheSameInEveryLanguage) {
  const QString title = QStringLiteral("Velmora Roadkeep KT5 Global");
  EXPECT_EQ(LoadString(402), title);
  for (UiLanguage lang : {UiLanguage::kKorean, UiLanguage::kEnglish, UiLanguage::kJapanese}) {
    EXPECT_EQ(LoadString(402, lang), title);
  }
}

TEST(StringTable, UnknownIdGivesEmptyText) {
  for (int id : {0, -5, 311, 403, 562, 100000}) {
    EXPECT_TRUE(LoadString(id).isEmpty()) << id;
    EXPECT_TRUE(LoadString(id, UiLanguage::kJapanese).isEmpty()) << id;
  }
}

TEST(StringTable, PickStringIdFollowsTheLanguage) {
  StringIds ids{518, 519, 520};
  EXPECT_EQ(PickStringId(ids, UiLanguage::kKorean), 518);
  EXPECT_EQ(PickStringId(ids, UiLanguage::kEnglish), 519);
  EXPECT_EQ(PickStringId(ids, UiLanguage::kJapanese), 520);
}

}  // namespace
