#include "tools/overlay_band.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

#include "sensors/recording_track.h"
#include "tat/card.h"
#include "tat/trips.h"

namespace {

constexpr int kMinBand = 24;       // px: the smallest band text stays readable in
constexpr int kBandFraction = 12;  // of the picture's height

// "YYYY-MM-DD HH:MM:SS" of seconds since 1970, read as UTC.
std::string DateTime(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm tm {};
  char text[32] = {};
  if (gmtime_r(&t, &tm) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm) == 0) {
    return "--";
  }
  return text;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

COverlayBand::COverlayBand(OverlayFacts facts) : m_facts(std::move(facts)) {}

int COverlayBand::BandHeight(int height) {
  return std::min(height, std::max(kMinBand, height / kBandFraction));
}

std::string COverlayBand::Times(int64_t frameMs) const {
  std::string line =
      m_facts.startSeconds >= 0 ? DateTime(m_facts.startSeconds + frameMs / 1000) : "no clock";
  const int64_t utcMs = m_facts.track.UtcAt(frameMs);
  if (utcMs != roadkeep::sensors::kNoTime) line += "  UTC " + DateTime(FloorDiv(utcMs, 1000));
  return line;
}

std::string COverlayBand::Facts(int64_t frameMs) const {
  std::string line;
  char number[64];
  const double kmh = m_facts.track.SpeedAt(frameMs);
  if (kmh >= 0) {
    std::snprintf(number, sizeof number, "%.0f km/h  ", kmh);
    line += number;
  }
  double latitude = 0, longitude = 0;
  if (m_facts.track.PlaceAt(frameMs, &latitude, &longitude)) {
    std::snprintf(number, sizeof number, "%.5f, %.5f", latitude, longitude);
    line += number;
  } else {
    line += "no GPS";
  }
  return line + "  " + m_facts.name;
}

void COverlayBand::Draw(uint8_t* pixels, int width, int height, int stride, int, int64_t frameMs) {
  if (width <= 0 || height <= 0) return;
  QImage picture(pixels, width, height, stride, QImage::Format_RGB32);
  const int band = BandHeight(height);
  const QRect rect(0, height - band, width, band);
  QPainter painter(&picture);
  painter.setClipRect(rect);
  // Dark but see-through, so the road under the band still shows.
  painter.fillRect(rect, QColor(0, 0, 0, 170));
  const int margin = band / 4;
  const QRect text = rect.adjusted(margin, 0, -margin, 0);
  const QString times = QString::fromStdString(Times(frameMs));
  const QString facts = QString::fromStdString(Facts(frameMs));
  // One line at 0.55 of the band; when that is too wide, two lines at 0.4, made smaller
  // still until the wider one fits.
  QFont font("Sans");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(8, band * 11 / 20));
  QString shown = times + "  " + facts;
  if (QFontMetrics(font).horizontalAdvance(shown) > text.width()) {
    shown = times + "\n" + facts;
    font.setPixelSize(std::max(6, band * 2 / 5));
    const int wide = std::max(QFontMetrics(font).horizontalAdvance(times),
                              QFontMetrics(font).horizontalAdvance(facts));
    if (wide > text.width() && wide > 0) {
      font.setPixelSize(std::max(6, font.pixelSize() * text.width() / wide));
    }
  }
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, shown);
}

COverlayFonts::COverlayFonts() {
  if (QGuiApplication::instance() != nullptr) return;
  // Qt's own notes (no runtime folder) are not the tool's to print.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "roadkeep-tool";
  static char* argv[] = {name, nullptr};
  m_app = std::make_unique<QGuiApplication>(argc, argv);
}

COverlayFonts::~COverlayFonts() = default;

std::unique_ptr<COverlayBand> MakeOverlayBand(CCard& card, const Recording& recording) {
  OverlayFacts facts;
  facts.name = recording.name;
  facts.startSeconds = roadkeep::tat::RecordingStart(recording);
  if (recording.HasGps() && !roadkeep::sensors::ReadRecordingTrack(card, recording, &facts.track)) {
    facts.track = {};
  }
  return std::make_unique<COverlayBand>(std::move(facts));
}
