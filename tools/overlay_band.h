// The facts burned into exported pictures: a band along the bottom (1/12 of the picture's
// height, at least 24 px) with the date and clock time by the recorder's clock, the UTC from
// GPS when the track has it, the speed, the place (5 decimals) or "no GPS", and the
// recording's name. Drawn with QPainter on a QImage over the caller's pixels; nothing above
// the band is touched. Qt, so it lives here and not in the engine, which knows only
// VFrameOverlay; the viewer will draw the same band.
//
// Threads: Draw from one thread at a time; text needs a QGuiApplication (COverlayFonts).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "containers/frame_overlay.h"
#include "sensors/track.h"

class CCard;
class QGuiApplication;
struct Recording;

struct OverlayFacts {
  std::string name;           // the recording's
  int64_t startSeconds = -1;  // RecordingStart: the recorder's clock read as UTC; -1 unknown
  roadkeep::sensors::RecordingTrack track;
};

class COverlayBand : public VFrameOverlay {
 public:
  explicit COverlayBand(OverlayFacts facts);

  // The band's height in a picture of height rows (never more than the picture).
  static int BandHeight(int height);
  // The band's text at frameMs of the recording: the times, then the speed, place and name
  // (one line when it fits the picture's width, else these two).
  std::string Times(int64_t frameMs) const;
  std::string Facts(int64_t frameMs) const;

  void Draw(uint8_t* pixels, int width, int height, int stride, int camera,
            int64_t frameMs) override;

 private:
  OverlayFacts m_facts;
};

// The band of a recording of card: its name, its start by the recorder's clock and its track
// (none when the track cannot be read: the band then says "no GPS").
std::unique_ptr<COverlayBand> MakeOverlayBand(CCard& card, const Recording& recording);

// An offscreen QGuiApplication for a program that has none, so fonts can be loaded; nothing
// when one exists. Held while bands are drawn.
class COverlayFonts {
 public:
  COverlayFonts();
  ~COverlayFonts();
  COverlayFonts(const COverlayFonts&) = delete;
  COverlayFonts& operator=(const COverlayFonts&) = delete;

 private:
  std::unique_ptr<QGuiApplication> m_app;
};
