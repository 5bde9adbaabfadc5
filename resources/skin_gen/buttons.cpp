// Art of every skin bitmap except the background. Buttons keyed black (the main window's
// transport, tool and filter buttons) are glyphs or pills over the panel colour; buttons keyed
// magenta are plates with rounded corners; check boxes and title images are opaque.
#include <QPainterPath>

#include "resources/resource_ids.h"
#include "resources/skin_gen/skin_gen.h"

namespace skin {

namespace {

enum class State { kNormal, kDown, kDisabled };

QColor GlyphColor(State s) {
  return s == State::kDown ? kAccent : s == State::kDisabled ? kInkDim : kInk;
}

using Glyph = std::function<void(QPainter&, const QRectF&, const QColor&)>;

// A bare glyph keyed black: light normally, accent while pressed.
QImage Icon(int w, int h, State s, const Glyph& g) {
  return Render(w, h, Key::kBlack, kPanel,
                [&](QPainter& p, const QRectF& r) { g(p, r, GlyphColor(s)); });
}

// A rounded plate keyed magenta with a glyph; accent plate while pressed.
QImage Plate(int w, int h, State s, const Glyph& g) {
  return Render(w, h, Key::kMagenta, kPanel, [&](QPainter& p, const QRectF& r) {
    QPainterPath path;
    path.addRoundedRect(r.adjusted(1, 1, -1, -1), 5, 5);
    p.fillPath(path, s == State::kDown ? kAccent : kRaised);
    g(p, r, s == State::kDown ? QColor(255, 255, 255) : kInk);
  });
}

// A labelled tab or pill: icon and text, accent fill while pressed (or checked).
QImage Tab(int w, int h, Key key, State s, const QString& text, const char* family,
           const Glyph& g) {
  return Render(w, h, key, kPanel, [&](QPainter& p, const QRectF& r) {
    QPainterPath path;
    path.addRoundedRect(r.adjusted(1, 1, -1, -1), 6, 6);
    QColor fill = s == State::kDown ? kAccent : kRaised;
    QColor ink = s == State::kDown ? QColor(255, 255, 255) : GlyphColor(s);
    p.fillPath(path, fill);
    QFont font = UiFont(12, true, family);
    int textWidth = QFontMetrics(font).horizontalAdvance(text);
    qreal iconW = g ? 16 + 6 : 0;
    qreal x = r.center().x() - (iconW + textWidth) / 2;
    if (g) g(p, QRectF(x, r.center().y() - 8, 16, 16), ink);
    DrawCenteredText(p, QRectF(x + iconW, r.top(), textWidth + 2, r.height()), text, font, ink);
  });
}

QImage Channel(int w, int h, bool active, const QColor& matte) {
  return Render(w, h, Key::kMagenta, matte, [&](QPainter& p, const QRectF& r) {
    QPainterPath path;
    path.addRoundedRect(QRectF(r.left() + 1, r.center().y() - 2, r.width() - 2, 4), 2, 2);
    p.fillPath(path, active ? kAccent : kTrack);
  });
}

QImage Thumb(int w, int h) {
  return Render(w, h, Key::kMagenta, kPanel, [](QPainter& p, const QRectF& r) {
    p.setPen(QPen(kAccent, 2));
    p.setBrush(QColor(250, 250, 252));
    p.drawEllipse(r.center(), r.width() / 2 - 1.5, r.height() / 2 - 1.5);
  });
}

QImage Bar(int w, int h, bool top) {
  return Render(w, h, Key::kNone, kPanel, [&](QPainter& p, const QRectF& r) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, top ? QColor(34, 38, 45) : QColor(20, 22, 27));
    g.setColorAt(1, top ? QColor(20, 22, 27) : QColor(34, 38, 45));
    p.fillRect(r, g);
    p.fillRect(QRectF(0, top ? h - 1 : 0, w, 1), kLine);
  });
}

QImage ListTitle(int w, int h, const QString& text, const char* family) {
  return Render(w, h, Key::kNone, kPanel, [&](QPainter& p, const QRectF& r) {
    p.fillRect(r, kPanel);
    p.fillRect(QRectF(0, 3, 3, h - 6), kAccent);
    p.setFont(UiFont(12, true, family));
    p.setPen(kInk);
    p.drawText(r.adjusted(10, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.fillRect(QRectF(0, h - 1, w, 1), kLine);
  });
}

// Opaque check-box faces (the skin button draws them without a key).
QImage CheckFace(int w, int h, State s, const Glyph& g) {
  return Render(w, h, Key::kNone, kPanel, [&](QPainter& p, const QRectF& r) {
    p.fillRect(r, kPanel);
    if (s == State::kDown) {
      QPainterPath path;
      path.addRoundedRect(r.adjusted(1, 1, -1, -1), 5, 5);
      p.fillPath(path, QColor(70, 36, 28));
    }
    g(p, r, GlyphColor(s));
  });
}

Glyph Skip(bool fwd) {
  return [fwd](QPainter& p, const QRectF& r, const QColor& c) { DrawSkip(p, r, c, fwd); };
}
Glyph Jump(bool fwd) {
  return [fwd](QPainter& p, const QRectF& r, const QColor& c) { DrawJump(p, r, c, fwd); };
}
Glyph Corners(bool out) {
  return [out](QPainter& p, const QRectF& r, const QColor& c) { DrawCorners(p, r, c, out); };
}
Glyph Gear() {
  return [](QPainter& p, const QRectF& r, const QColor& c) { DrawGear(p, r, c, kPanel); };
}
Glyph Pin(const QColor& hole) {
  return [hole](QPainter& p, const QRectF& r, const QColor& c) { DrawPin(p, r, c, hole); };
}
Glyph Speaker(bool muted) {
  return [muted](QPainter& p, const QRectF& r, const QColor& c) {
    DrawSpeaker(p, r, c, muted, muted ? kAccent : c);
  };
}

QImage DrawLabelled(int id, int w, int h, UiLanguage lang);

}  // namespace

QString Words::In(UiLanguage lang) const {
  switch (lang) {
    case UiLanguage::kKorean:
      return QString::fromUtf8(korean);
    case UiLanguage::kJapanese:
      return QString::fromUtf8(japanese);
    case UiLanguage::kEnglish:
      break;
  }
  return QString::fromUtf8(english);
}

const char* FontFamily(UiLanguage lang) {
  switch (lang) {
    case UiLanguage::kKorean:
      return "Noto Sans CJK KR";
    case UiLanguage::kJapanese:
      return "Noto Sans CJK JP";
    case UiLanguage::kEnglish:
      break;
  }
  return "DejaVu Sans";
}

QImage DrawBitmap(int id, int w, int h, UiLanguage lang) {
  const State n = State::kNormal, d = State::kDown;
  switch (id) {
    case IDB_BACKGROUND: return DrawBackground(lang);
    case IDB_PLAY: return Icon(w, h, n, DrawPlay);
    case IDB_PAUSE: return Icon(w, h, n, DrawPause);
    case IDB_STOP: case IDB_STOP_DOWN: return Icon(w, h, id == IDB_STOP ? n : d, DrawStop);
    case IDB_PRE: case IDB_PRE_DOWN: return Icon(w, h, id == IDB_PRE ? n : d, Skip(false));
    case IDB_NEXT: case IDB_NEXT_DOWN: return Icon(w, h, id == IDB_NEXT ? n : d, Skip(true));
    case IDB_BACK10: case IDB_BACK10_DOWN: return Icon(w, h, id == IDB_BACK10 ? n : d, Jump(false));
    case IDB_FWD10: case IDB_FWD10_DOWN: return Icon(w, h, id == IDB_FWD10 ? n : d, Jump(true));
    case IDB_OPEN: case IDB_OPEN_DOWN: return Icon(w, h, id == IDB_OPEN ? n : d, DrawCard);
    case IDB_CAPTURE: case IDB_CAPTURE_DOWN: return Icon(w, h, id == IDB_CAPTURE ? n : d, DrawCamera);
    case IDB_SETTINGS: case IDB_SETTINGS_DOWN: return Icon(w, h, id == IDB_SETTINGS ? n : d, Gear());
    case IDB_ZOOM: case IDB_ZOOM_DOWN: return Icon(w, h, id == IDB_ZOOM ? n : d, DrawMagnifier);
    case IDB_BRIGHTNESS: return Icon(w, h, n, DrawSun);
    case IDB_CLOSE: case IDB_CLOSE_DOWN: return Plate(w, h, id == IDB_CLOSE ? n : d, DrawCross);
    case IDB_MINIMIZE: case IDB_MINIMIZE_DOWN: return Plate(w, h, id == IDB_MINIMIZE ? n : d, DrawMinimise);
    case IDB_FULLSCREEN: case IDB_FULLSCREEN_DOWN: return Plate(w, h, id == IDB_FULLSCREEN ? n : d, Corners(true));
    case IDB_WINDOW: case IDB_WINDOW_DOWN: return Plate(w, h, id == IDB_WINDOW ? n : d, Corners(false));
    case IDB_MIRROR: case IDB_MIRROR_DOWN: return CheckFace(w, h, id == IDB_MIRROR ? n : d, DrawMirror);
    case IDB_MUTE: return CheckFace(w, h, n, Speaker(false));
    case IDB_MUTE_DOWN: return CheckFace(w, h, d, Speaker(true));
    case IDB_POS_CHANNEL: case IDB_POS_CHANNEL_ACTIVE:
      return Channel(w, h, id == IDB_POS_CHANNEL_ACTIVE, kBase);
    case IDB_POS_CHANNEL_FULL: case IDB_POS_CHANNEL_FULL_ACTIVE:
      return Channel(w, h, id == IDB_POS_CHANNEL_FULL_ACTIVE, QColor(27, 30, 36));
    case IDB_SMALL_CHANNEL: case IDB_SMALL_CHANNEL_ACTIVE:
      return Channel(w, h, id == IDB_SMALL_CHANNEL_ACTIVE, kPanel);
    case IDB_THUMB: return Thumb(w, h);
    case IDB_BAR_TOP: return Bar(w, h, true);
    case IDB_BAR_BOTTOM: return Bar(w, h, false);
    case IDB_LIST_TITLE_KO: return ListTitle(w, h, QString::fromUtf8("녹화 목록"), "Noto Sans CJK KR");
    case IDB_LIST_TITLE_EN: return ListTitle(w, h, "Recordings", "DejaVu Sans");
    case IDB_LIST_TITLE_JA: return ListTitle(w, h, QString::fromUtf8("録画リスト"), "Noto Sans CJK JP");
    default: return DrawLabelled(id, w, h, lang);
  }
}

namespace {

QImage DrawLabelled(int id, int w, int h, UiLanguage lang) {
  const State n = State::kNormal, d = State::kDown, x = State::kDisabled;
  const Key b = Key::kBlack, m = Key::kMagenta, o = Key::kNone;
  const Words driving{"Driving", "주행", "走行"}, event{"Event", "이벤트", "イベント"},
      parking{"Parking", "주차", "駐車"}, user{"User", "수동", "手動"}, all{"All", "전체", "すべて"},
      swap{"Swap Cameras", "카메라 전환", "カメラ切替"}, map{"Map", "지도", "地図"},
      camera{"Camera", "카메라", "カメラ"}, download{"File Download", "파일 저장", "ファイル保存"};
  const struct {
    int id;
    Key key;
    State state;
    const Words& words;
    int glyph;  // 0 none, 1 swap, 2 map pin, 3 camera, 4 download
  } kLabelled[] = {
      {IDB_FILTER_DRIVING, b, n, driving, 0}, {IDB_FILTER_DRIVING_DOWN, b, d, driving, 0},
      {IDB_FILTER_EVENT, b, n, event, 0},     {IDB_FILTER_EVENT_DOWN, b, d, event, 0},
      {IDB_FILTER_PARKING, b, n, parking, 0}, {IDB_FILTER_PARKING_DOWN, b, d, parking, 0},
      {IDB_FILTER_USER, b, n, user, 0},       {IDB_FILTER_USER_DOWN, b, d, user, 0},
      {IDB_FILTER_ALL, b, n, all, 0},         {IDB_FILTER_ALL_DOWN, b, d, all, 0},
      {IDB_SWAP, m, n, swap, 1},              {IDB_SWAP_DOWN, m, d, swap, 1},
      {IDB_SWAP_DISABLED, m, x, swap, 1},
      {IDB_FULL_SWAP, m, n, swap, 1},         {IDB_FULL_SWAP_DOWN, m, d, swap, 1},
      {IDB_FULL_SWAP_DISABLED, m, x, swap, 1},
      {IDB_MAP, m, n, map, 2},                {IDB_MAP_DOWN, m, d, map, 2},
      {IDB_MAP_DISABLED, m, x, map, 2},
      {IDB_SMALL_MAP, o, n, map, 2},          {IDB_SMALL_MAP_DOWN, o, d, map, 2},
      {IDB_SMALL_MAP_DISABLED, o, x, map, 2},
      {IDB_SMALL_CAMERA, o, n, camera, 3},    {IDB_SMALL_CAMERA_DOWN, o, d, camera, 3},
      {IDB_SMALL_CAMERA_DISABLED, o, x, camera, 3},
      {IDB_DOWNLOAD, m, n, download, 4},      {IDB_DOWNLOAD_DOWN, m, d, download, 4},
  };
  for (const auto& l : kLabelled) {
    if (l.id != id) continue;
    QColor fill = l.state == d ? kAccent : kRaised;
    Glyph g;
    if (l.glyph == 1) g = DrawSwap;
    if (l.glyph == 2) g = Pin(fill);
    if (l.glyph == 3) g = DrawVideoCam;
    if (l.glyph == 4) g = DrawDownload;
    return Tab(w, h, l.key, l.state, l.words.In(lang), FontFamily(lang), g);
  }
  return QImage();
}

}  // namespace

QImage DrawIcon(int size) {
  QImage icon(size, size, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r(0, 0, size, size);
  {
    QPainterPath path;
    path.addRoundedRect(r, size * 0.22, size * 0.22);
    p.fillPath(path, kAccent);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(r.center(), size * 0.3, size * 0.3);
    p.setBrush(kBase);
    p.drawEllipse(r.center(), size * 0.18, size * 0.18);
  }
  p.end();
  return icon;
}

}  // namespace skin
