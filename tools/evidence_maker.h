// The evidence package made from recordings of a card: each recording's AVI (as the export
// writes it), its MP4 when asked, GPX and CSV, manifest.json (the card, the recordings, the
// SHA-256 of each one's bytes on the card and of every file), report.pdf, and SHA256SUMS
// last, only when everything before it was written. Shared by `roadkeep-tool evidence` and
// the viewer's row menu.
//
// Threads: any one thread. The package reads the card through a parser and readers of its
// own (never another user's), so playback goes on meanwhile. report.pdf is drawn with Qt:
// in a program without a QGuiApplication only on the main thread (evidence_report.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Recording;
struct TatHandle;

struct EvidenceOptions {
  bool mp4 = false;                              // each recording's MP4 beside its AVI
  bool overlay = false;  // the MP4s re-encoded with the facts band burned in (implies mp4)
  std::string maker = "roadkeep-tool evidence";  // the manifest's "tool"
  // A fault the caller found before (a name the card lacks): the package is begun, says
  // this in its manifest and stays incomplete; nothing is copied.
  std::string failedBefore;
};

// The step in hand ("AVI REC_....avi", "report.pdf") and the share of the whole package
// done, 0..1. Called on the making thread, often (each frame copied): keep it cheap. False
// cancels: the package stops at the next frame or file.
using EvidenceProgress = std::function<bool(const std::string& step, double done)>;

struct EvidenceResult {
  bool complete = false;      // every file written, SHA256SUMS last
  bool cancelled = false;     // the progress callback said stop
  bool begun = false;         // the folder was there to write into; false: nothing written
  bool manifestSaved = true;  // false: an incomplete package's manifest.json was not written
  std::string failure;        // what stopped an incomplete package ("cancelled" for a cancel)
  std::vector<std::string> files;   // the package's files in the order written
  std::vector<std::string> copies;  // "FILE: what its copy came to", each AVI, then each MP4
};

// Makes the package of recordings (of library's current card) in folder, which must be
// missing or empty (the caller checks; no file there is ever replaced). A package that
// stops (a failure, a cancel) keeps what was written, without SHA256SUMS, and its
// manifest.json says "complete": false and why.
EvidenceResult MakeEvidencePackage(TatHandle* library, const std::string& folder,
                                   const std::vector<Recording>& recordings,
                                   const EvidenceOptions& options,
                                   const EvidenceProgress& progress);
