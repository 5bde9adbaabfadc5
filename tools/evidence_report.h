// The evidence package's report.pdf: what the recordings show and every file's SHA-256, on
// one or two A4 pages, drawn with Qt's PDF writer. The header is Qt-free; the drawing runs in
// a QGuiApplication made here (offscreen) when the program has none: then on the main thread
// only. In a program with one (the viewer) any thread may draw (a QPdfWriter is a paint
// device Qt lets threads use).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ReportPicture {
  std::string label;          // "front, 2.0 s"
  int width = 0, height = 0;  // 0: no picture
  std::vector<uint8_t> bgrx;  // B, G, R, 0xFF per pixel, rows packed
};

struct ReportRecording {
  std::string name;
  std::vector<std::string> facts;  // one line each: start, length, cameras, clock, speeds
  std::vector<std::string> impacts;
  std::vector<ReportPicture> pictures;
};

struct ReportHash {
  std::string what;  // a file of the package, or "NAME: entry on the card"
  std::string sha256;
};

struct EvidenceReport {
  std::vector<std::string> heading;  // tool, creation time, card
  std::vector<ReportRecording> recordings;
  std::vector<ReportHash> hashes;
};

// The PDF's bytes; empty with *error set when it cannot be drawn.
std::string EvidenceReportPdf(const EvidenceReport& report, std::string* error);
