// Drawing helpers of the skin generator: the palette, the keyed renderer and the glyphs.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <functional>

namespace skin {

inline const QColor kBase(18, 20, 24);      // window face
inline const QColor kPanel(27, 30, 36);     // bars and panels; matte of every keyed button
inline const QColor kRaised(40, 45, 53);    // plates, tabs, pills
inline const QColor kLine(50, 55, 65);      // hairlines and frames
inline const QColor kInk(220, 224, 230);    // glyphs and text
inline const QColor kInkDim(96, 102, 112);  // disabled glyphs
inline const QColor kAccent(247, 88, 46);   // the label colour
inline const QColor kVideo(9, 10, 12);      // empty video panes
inline const QColor kTrack(66, 71, 81);     // slider track

enum class Key { kNone, kBlack, kMagenta };
using Art = std::function<void(QPainter&, const QRectF&)>;

// Draws art antialiased on a transparent w x h canvas and flattens it onto matte. With a key,
// the pixels the art left untouched become exactly the key colour and no other pixel has it.
QImage Render(int w, int h, Key key, const QColor& matte, const Art& art);
QFont UiFont(qreal pixelSize, bool bold, const char* family = "DejaVu Sans");
void DrawCenteredText(QPainter& p, const QRectF& r, const QString& text, const QFont& font,
                      const QColor& color);

// Glyphs, each fitted into r and drawn in colour c.
void DrawPlay(QPainter& p, const QRectF& r, const QColor& c);
void DrawPause(QPainter& p, const QRectF& r, const QColor& c);
void DrawStop(QPainter& p, const QRectF& r, const QColor& c);
void DrawSkip(QPainter& p, const QRectF& r, const QColor& c, bool forward);
void DrawJump(QPainter& p, const QRectF& r, const QColor& c, bool forward);
void DrawCard(QPainter& p, const QRectF& r, const QColor& c);
void DrawCamera(QPainter& p, const QRectF& r, const QColor& c);
void DrawGear(QPainter& p, const QRectF& r, const QColor& c, const QColor& hole);
void DrawMagnifier(QPainter& p, const QRectF& r, const QColor& c);
void DrawSun(QPainter& p, const QRectF& r, const QColor& c);
void DrawMirror(QPainter& p, const QRectF& r, const QColor& c);
void DrawSpeaker(QPainter& p, const QRectF& r, const QColor& c, bool muted, const QColor& x);
void DrawCorners(QPainter& p, const QRectF& r, const QColor& c, bool outward);
void DrawMinimise(QPainter& p, const QRectF& r, const QColor& c);
void DrawCross(QPainter& p, const QRectF& r, const QColor& c);
void DrawSwap(QPainter& p, const QRectF& r, const QColor& c);
void DrawPin(QPainter& p, const QRectF& r, const QColor& c, const QColor& hole);
void DrawDownload(QPainter& p, const QRectF& r, const QColor& c);
void DrawVideoCam(QPainter& p, const QRectF& r, const QColor& c);

}  // namespace skin
