#include "tools/evidence_report.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <memory>

#include "platform/safe_text.h"

namespace {

constexpr int kDpi = 300;
constexpr int kPictureHeight = 420;  // dots: 3.5 cm at 300 dpi

// Names from the card as one line each, with what cannot be shown as it is spelled out.
QString Shown(const std::string& text) {
  return QString::fromStdString(roadkeep::platform::TerminalText(text));
}

class CPageWriter {
 public:
  CPageWriter(QPdfWriter& writer, QPainter& painter) : m_writer(writer), m_painter(painter) {
    m_bottom = painter.viewport().height();
  }
  void Line(const std::string& text, const QFont& font) {
    m_painter.setFont(font);
    const int height = QFontMetrics(font, &m_writer).lineSpacing();
    Room(height);
    m_painter.drawText(0, m_y + QFontMetrics(font, &m_writer).ascent(), Shown(text));
    m_y += height;
  }
  void Pictures(const std::vector<ReportPicture>& pictures, const QFont& font) {
    const int labelHeight = QFontMetrics(font, &m_writer).lineSpacing();
    Room(kPictureHeight + labelHeight);
    int x = 0;
    m_painter.setFont(font);
    for (const ReportPicture& p : pictures) {
      int width = kPictureHeight * 16 / 9;
      if (p.width > 0) {
        const QImage image(p.bgrx.data(), p.width, p.height, p.width * 4, QImage::Format_RGB32);
        width = kPictureHeight * p.width / p.height;
        m_painter.drawImage(QRect(x, m_y, width, kPictureHeight), image);
      } else {
        m_painter.drawRect(QRect(x, m_y, width, kPictureHeight));
      }
      m_painter.drawText(x, m_y + kPictureHeight + labelHeight, Shown(p.label));
      x += width + 40;
    }
    m_y += kPictureHeight + labelHeight + 20;
  }
  void Gap(int dots) { m_y += dots; }

 private:
  void Room(int height) {
    if (m_y + height <= m_bottom) return;
    m_writer.newPage();
    m_y = 0;
  }
  QPdfWriter& m_writer;
  QPainter& m_painter;
  int m_y = 0, m_bottom = 0;
};

}  // namespace

std::string EvidenceReportPdf(const EvidenceReport& report, std::string* error) {
  // In a program of its own (the tool), Qt's warnings (no runtime folder, fonts) are not
  // its to print. In the viewer, which may draw on a worker thread, the process-wide handler
  // is left alone.
  const bool own = QGuiApplication::instance() == nullptr;
  struct Restore {
    bool swapped;
    QtMessageHandler handler;
    ~Restore() {
      if (swapped) qInstallMessageHandler(handler);
    }
  } restore{own, own ? qInstallMessageHandler(
                           [](QtMsgType, const QMessageLogContext&, const QString&) {})
                     : nullptr};
  std::unique_ptr<QGuiApplication> app;
  if (own) {
    // Fonts need a GUI application; no display is used.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "roadkeep-tool";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(kDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    writer.setTitle("Evidence report");
    writer.setCreator("Roadkeep");
    QPainter painter;
    if (!painter.begin(&writer)) {
      *error = "the PDF writer cannot be started";
      return {};
    }
    QFont title("Sans", 14, QFont::Bold), bold("Sans", 9, QFont::Bold), text("Sans", 9);
    QFont mono("Monospace", 7);
    mono.setStyleHint(QFont::Monospace);
    CPageWriter page(writer, painter);
    page.Line("Evidence report", title);
    for (const std::string& line : report.heading) page.Line(line, text);
    page.Gap(30);
    for (const ReportRecording& r : report.recordings) {
      page.Line(r.name, bold);
      for (const std::string& line : r.facts) page.Line(line, text);
      for (const std::string& line : r.impacts) page.Line("Impact: " + line, text);
      if (!r.pictures.empty()) page.Pictures(r.pictures, text);
      page.Gap(20);
    }
    page.Line("SHA-256", bold);
    for (const ReportHash& h : report.hashes) {
      page.Line(h.what, text);
      page.Line("  " + h.sha256, mono);
    }
    painter.end();
  }
  if (buffer.data().isEmpty()) {
    *error = "the PDF writer wrote nothing";
    return {};
  }
  return buffer.data().toStdString();
}
