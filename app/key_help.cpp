#include "app/key_help.h"

#include <QMouseEvent>
#include <QPainter>
#include <iterator>

#include "app/window_controls.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"

namespace {

struct Action {
  int control;       // the button that does it; 0 for none
  const char* keys;  // empty for none: then not on the sheet
  const char* ko;
  const char* en;
  const char* ja;
};

// In the order the sheet lists them.
constexpr Action kActions[] = {
    {0, "Space", "재생 / 일시 정지", "Play / pause", "再生 / 一時停止"},
    {IDC_PLAY, "Space", "재생", "Play", "再生"},
    {IDC_PAUSE, "Space", "일시 정지", "Pause", "一時停止"},
    {IDC_STOP, "", "정지", "Stop", "停止"},
    {IDC_BACK10, "←", "10초 뒤로", "Back 10 s", "10 秒戻る"},
    {IDC_FWD10, "→", "10초 앞으로", "Forward 10 s", "10 秒進む"},
    {0, ".  ,", "다음 / 이전 프레임 (일시 정지 중)", "Next / previous frame (paused)",
     "次 / 前のフレーム (一時停止中)"},
    {0, "[  ]  Backspace", "재생 속도: 느리게 / 빠르게 / 1배", "Playback speed: slower / faster / 1x",
     "再生速度: 遅く / 速く / 1 倍"},
    {0, "Home  End", "녹화의 처음 / 끝", "Start / end of the recording", "録画の先頭 / 末尾"},
    {IDC_NEXT, "Page Up", "다음 녹화", "Next recording", "次の録画"},
    {IDC_PRE, "Page Down", "이전 녹화", "Previous recording", "前の録画"},
    {0, "↑  ↓", "음량", "Volume", "音量"},
    {IDC_MUTE, "M", "음소거", "Mute", "ミュート"},
    {IDC_FULLSCREEN, "F  Enter", "전체 화면", "Full screen", "全画面"},
    {IDC_WINDOW, "Esc", "전체 화면 끝내기", "Leave full screen", "全画面を終了"},
    {IDC_CAPTURE, "S", "스냅샷 (JPEG)", "Snapshot (JPEG)", "スナップショット (JPEG)"},
    {IDC_ZOOM, "", "돋보기", "Magnifier", "拡大鏡"},
    {IDC_MIRROR, "", "후방 카메라 좌우 반전", "Mirror the rear camera", "後方カメラを左右反転"},
    {IDC_OPEN, "F2", "카드 다시 읽기", "Read the card again", "カードを読み直す"},
    {0, "Ctrl+O", "카드나 AVI 파일 열기", "Open a card or AVI files", "カードや AVI ファイルを開く"},
    {IDC_SETTINGS, "F3", "녹화기 설정", "Recorder settings", "レコーダーの設定"},
    {0, "?  F1", "이 목록", "This sheet", "この一覧"},
    {IDC_MINIMIZE, "", "최소화", "Minimise", "最小化"},
    {IDC_CLOSE, "", "닫기", "Close", "閉じる"},
};

struct MouseAction {
  const char* ko;
  const char* en;
  const char* ja;
};

constexpr MouseAction kMouseActions[] = {
    {"목록 행을 두 번 클릭: 재생", "Double-click a row: play it", "行をダブルクリック: 再生"},
    {"화면을 두 번 클릭: 전체 화면", "Double-click the picture: full screen",
     "映像をダブルクリック: 全画面"},
    {"화면 위 휠: 5초 (일시 정지 중: 1프레임)", "Wheel over the picture: 5 s (paused: one frame)",
     "映像の上でホイール: 5 秒 (一時停止中: 1 フレーム)"},
    {"슬라이더 위 휠: 움직이기", "Wheel over a slider: move it", "スライダーの上でホイール: 動かす"},
    {"오른쪽 클릭: 행과 화면의 메뉴", "Right-click: the menu of a row or the picture",
     "右クリック: 行や映像のメニュー"},
};

QString TextOf(const Action& a, UiLanguage language) { return PickText(language, a.ko, a.en, a.ja); }

}  // namespace

void SetButtonTips(CWindowControls& controls, UiLanguage language) {
  for (const Action& a : kActions) {
    QWidget* button = a.control != 0 ? controls.Find(a.control) : nullptr;
    if (button == nullptr) continue;
    const QString keys = QString::fromUtf8(a.keys).replace(QStringLiteral("  "), QStringLiteral(" / "));
    button->setToolTip(keys.isEmpty() ? TextOf(a, language)
                                      : TextOf(a, language) + QStringLiteral(" (") + keys + ')');
  }
}

CKeySheet::CKeySheet(QWidget* window, UiLanguage language)
    : QWidget(window), m_language(language) {
  setObjectName(QStringLiteral("KeySheet"));
  hide();
}

void CKeySheet::Open() {
  setGeometry(parentWidget()->rect());
  show();
  raise();
}

void CKeySheet::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(22, 24, 28, 235));
  QFont font = p.font();
  font.setPixelSize(13);
  font.setBold(true);
  p.setFont(font);
  const int left = width() / 2 - 300, top = std::max(20, height() / 2 - 280);
  p.setPen(QColor(247, 88, 46));
  p.drawText(QPoint(left, top), PickText(m_language, "키와 마우스", "Keys and mouse", "キーとマウス"));
  int y = top + 28;
  for (const Action& a : kActions) {
    // Play and pause are one line, the first.
    if (*a.keys == '\0' || a.control == IDC_PLAY || a.control == IDC_PAUSE) continue;
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(247, 88, 46));
    p.drawText(QPoint(left, y), QString::fromUtf8(a.keys));
    font.setBold(false);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QPoint(left + 130, y), TextOf(a, m_language));
    y += 20;
  }
  y += 10;
  for (const MouseAction& m : kMouseActions) {
    p.drawText(QPoint(left, y), PickText(m_language, m.ko, m.en, m.ja));
    y += 20;
  }
  p.setPen(QColor(160, 160, 160));
  p.drawText(QPoint(left, y + 14),
             PickText(m_language, "아무 키나 누르거나 클릭하면 닫힙니다", "Any key or click closes this sheet",
                      "キーを押すかクリックすると閉じます"));
}

void CKeySheet::mousePressEvent(QMouseEvent* event) {
  event->accept();
  hide();
}
