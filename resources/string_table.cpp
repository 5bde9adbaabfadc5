// The string table: every message with its Korean, English and Japanese id and text.
// Texts are kept as the formatter expects them ("%%" shows as "%").
#include "resources/string_table.h"

#include "resources/resource_ids.h"

namespace {

#define MSG(name, ko, en, ja) \
  {{IDS_##name##_KO, IDS_##name##_EN, IDS_##name##_JA}, ko, en, ja}

const StringMessage kMessages[] = {
    {{IDS_APP_TITLE, IDS_APP_TITLE, IDS_APP_TITLE}, "Velmora Roadkeep KT5 Global",
     "Velmora Roadkeep KT5 Global", "Velmora Roadkeep KT5 Global"},
    MSG(QUIT_TEXT, "프로그램을 종료하시겠습니까?", "Are you sure you want to quit?",
        "終了しますか。"),
    MSG(QUIT_CAPTION, "선택", "Select", "選択"),
    MSG(COL_TYPE, "종류", "Type", "種類"),
    MSG(COL_FILENAME, "파일 이름", "FileName", "ファイル名"),
    MSG(COL_DATE, "날짜", "Date", "日付"),
    MSG(COL_REAR, "후방", "Rear", "リア"),
    MSG(COL_SIZE, "크기", "Size", "サイズ"),
    MSG(COL_PATH, "경로", "Path", "パス"),
    MSG(NO_CARD, "SD 카드를 읽을 수 없습니다.\n잠시 후 다시 시도해 주십시오.",
        "Cannot read the SD card.\nPlease try again.",
        "SDカードを認識できませんでした。\nしばらくしてから再度試みてください。"),
    MSG(NO_SELECTION, "저장할 파일을 선택해 주십시오.", "Please select the file to save. ",
        "保存するファイルを選択してください。"),
    MSG(TARGET_FOLDER, "저장 폴더 지정", "Specify Storage Folder", "保存フォルダ指定"),
    MSG(NO_SETTINGS_FILE, "유효한 KT5 정보가 없습니다.\n다시 시도해 주십시오. ",
        "No valid KT5 information.\nPlease try again. ",
        "有効なKT5情報がありません。\n再度試みてください。"),
    MSG(SETTINGS_ERROR_CAPTION, "블랙박스 설정 오류", "Black box Setting Error",
        "ドライブレコーダー設定エラー"),
    MSG(SETTINGS_ERROR_TEXT, "저장 공간 설정을 확인해 주십시오.\n저장 공간의 합계는 100%%입니다.",
        "Check Storage Settings\nTotal Storage is 100%%",
        "保存領域設定を確認してください。\n保存領域の合計は100%%です。"),
    MSG(SETTINGS_WRITE_FAILED,
        "설정을 저장하지 못했습니다.\n카드가 꽂혀 있고 쓰기 방지가 아닌지 확인해 주십시오.",
        "The settings could not be saved.\nCheck that the card is inserted and not "
        "write-protected.",
        "設定を保存できませんでした。\nカードが挿入され、書き込み禁止になっていないか"
        "確認してください。"),
    MSG(SETTINGS_TOO_LARGE,
        "카드의 blackbox.cfg는 설정 파일로 보기에는 너무 큽니다.\n파일은 그대로 두었습니다.",
        "The card's blackbox.cfg is too large to be a settings file.\nIt was left as it is.",
        "カードのblackbox.cfgは設定ファイルとしては大きすぎます。\nファイルはそのままにしました。"),
    MSG(SETTINGS_LINK,
        "카드의 설정 파일이 링크입니다. 녹화기는 링크를 만들지 않으므로\n읽지도 쓰지도 않았습니다.",
        "The card's settings file is a link, which no recorder makes.\nIt was neither read nor written.",
        "カードの設定ファイルはリンクです。レコーダーはリンクを作らないため、\n読み書きしませんでした。"),
    MSG(CANCEL, "취소", "Cancel", "キャンセル"),
    MSG(SET_TITLE, "KT5 환경 설정", "KT5 Settings", "KT5環境設定"),
    MSG(SET_STORAGE, "저장 공간(%%)", "Storage(%%)", "保存領域(%%)"),
    MSG(SET_DRIVING, "주행 녹화(%%)", "Driving (%%)", "走行録画(%%)"),
    MSG(SET_PARKING, "주차 녹화(%%)", "Parking (%%)", "駐車録画(%%)"),
    MSG(SET_EVENT, "이벤트 녹화(%%)", "Event (%%)", "イベント録画(%%)"),
    MSG(SET_USER, "수동 녹화(%%)", "User (%%)", "手動録画(%%)"),
    MSG(SET_CAUTION, "주의! 저장 공간의 합계는 100%%입니다", "Caution! Total rate is 100%%",
        "(注意)保存領域の合計は100%%です。"),
    MSG(SET_BATTERY, "배터리 방전 방지", "Battery Protection", "バッテリー遮断"),
    MSG(SET_TIME, "시간 설정", "Time Settings", "時刻設定"),
    MSG(SET_PC_SYNC, "PC 시간 동기화", "PC time sync", "PC時刻同期化"),
    MSG(SET_VERSION, "버전 정보", "Version", "バージョン情報"),
    MSG(SET_PC_VIEWER, "PC 뷰어", "PC Viewer", "PC Viewer"),
    MSG(SET_MODEL, "모델", "Model", "モデル"),
    MSG(SET_FIRMWARE, "펌웨어", "Firmware", "ファームウェア"),
    MSG(SET_SETTINGS, "설정", "Settings", "設定"),
    MSG(SET_VOICE_REC, "음성 녹음", "Voice Recording", "音声録音"),
    MSG(SET_VOICE_GUIDE, "음성 안내", "Voice guide", "音声案内"),
    MSG(SET_IMPACT, "충격 감도", "Impact Sensitivity", "衝撃感度"),
    MSG(SET_MOTION, "모션 감지", "Motion detection", "モーション感度"),
    MSG(SET_LOW, "낮음", "Low", "鈍感"),
    MSG(SET_NORMAL, "보통", "Normal", "普通"),
    MSG(SET_HIGH, "높음", "High", "敏感"),
    MSG(SET_YES, "사용", "Yes", "使用する"),
    MSG(SET_NO, "사용 안 함", "No", "使用しない"),
    MSG(SET_BIKE, "바이크 모드", "Bike Mode", "バイクモード"),
    MSG(SET_YEAR, "년", "Y", "年"),
    MSG(SET_MONTH, "월", "M", "月"),
    MSG(SET_DAY, "일", "D", "日"),
    MSG(SET_HOUR, "시", "H", "時"),
    MSG(SET_MINUTE, "분", "M", "分"),
    MSG(SET_SECOND, "초", "S", "秒"),
    MSG(SET_SAVE, "저장", "Save", "保存"),
};

#undef MSG

}  // namespace

std::span<const StringMessage> StringMessages() { return kMessages; }
