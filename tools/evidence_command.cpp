// evidence: recordings of a card as a package for someone else to check (made by
// MakeEvidencePackage, tools/evidence_maker.h). verify: a package checked again.
extern "C" {
#include <libavutil/log.h>
}

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "concurrency/trace.h"
#include "platform/safe_text.h"
#include "platform/time_left.h"
#include "tat/card.h"
#include "tat/tat_library.h"
#include "tools/commands.h"
#include "tools/evidence_maker.h"
#include "tools/evidence_package.h"
#include "tools/overlay_band.h"

using roadkeep::platform::TerminalText;

namespace {

constexpr char kUsage[] = "usage: roadkeep-tool evidence DIR OUT_DIR NAME... [--mp4] [--overlay]\n";

int Fail(const std::string& why) {
  std::fprintf(stderr, "roadkeep-tool: evidence: %s\n", TerminalText(why).c_str());
  return 1;
}

int MakePackage(TatHandle* handle, const std::string& out, const std::vector<std::string>& names,
                EvidenceOptions options) {
  // Every recording of each name; the first name the card lacks stops the package.
  std::vector<Recording> recordings;
  for (const std::string& name : names) {
    const std::vector<Recording> named = RecordingsNamed(handle, name);
    if (named.empty()) {
      options.failedBefore = name + ": no such recording on the card";
      break;
    }
    recordings.insert(recordings.end(), named.begin(), named.end());
  }
  // "STEP  42%, 0:31 left" on standard error, rewritten in place, when it is a terminal.
  const bool tty = isatty(STDERR_FILENO) != 0;
  const auto started = std::chrono::steady_clock::now();
  auto shown = started;
  const EvidenceProgress progress = [&](const std::string& step, double done) {
    const auto now = std::chrono::steady_clock::now();
    if (!tty || now - shown < std::chrono::milliseconds(250)) return true;
    shown = now;
    const std::string left =
        TimeLeftText(std::chrono::duration<double>(now - started).count(), done);
    std::fprintf(stderr, "\r%s  %d%%%s\033[K", TerminalText(step).c_str(), static_cast<int>(done * 100),
                 left.empty() ? "" : (", " + left + " left").c_str());
    return true;
  };
  const EvidenceResult result = MakeEvidencePackage(handle, out, recordings, options, progress);
  if (tty) std::fputs("\r\033[K", stderr);
  if (!result.begun) return Fail(result.failure);
  for (const std::string& line : result.copies) std::printf("%s\n", TerminalText(line).c_str());
  if (!result.complete) {
    if (!result.manifestSaved) Fail(std::string(kManifestFile) + ": cannot be written");
    return Fail(result.failure + "; no " + kSumsFile + " written");
  }
  std::printf("%s: %zu files and %s\n", TerminalText(out).c_str(), result.files.size() + 1,
              kSumsFile);
  return 0;
}

}  // namespace

int EvidenceCommand(int argc, char** argv) {
  std::vector<std::string> args;
  EvidenceOptions options;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--mp4") == 0) {
      options.mp4 = true;
      continue;
    }
    if (std::strcmp(argv[i], "--overlay") == 0) {
      options.overlay = true;
      continue;
    }
    if (std::strncmp(argv[i], "--", 2) == 0) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    args.emplace_back(argv[i]);
  }
  if (args.size() < 3 || args[1].empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string& out = args[1];
  switch (OutFolderState(out)) {
    case OutFolder::kMissing:
    case OutFolder::kEmpty:
      break;
    case OutFolder::kHoldsFiles:
      return Fail(out + ": not empty; nothing written");
    case OutFolder::kNotFolder:
      return Fail(out + ": not a folder; nothing written");
    case OutFolder::kUnreadable:
      return Fail(out + ": cannot be read; nothing written");
  }
  roadkeep::SetTraceEnabled(false);
  // The muxer's and encoder's notes (second pass, quality) are not the tool's lines.
  av_log_set_level(AV_LOG_ERROR);
  // Fonts for the burned-in band.
  std::unique_ptr<COverlayFonts> fonts;
  if (options.overlay) fonts = std::make_unique<COverlayFonts>();
  std::string problem;
  TatHandle* handle = OpenCardAt(args[0], &problem);
  if (handle == nullptr) return Fail(problem);
  TatOnCardFound(handle);
  const int status =
      MakePackage(handle, out, std::vector<std::string>(args.begin() + 2, args.end()), options);
  TatRelease(handle);
  return status;
}

int VerifyCommand(int argc, char** argv) {
  if (argc != 1) {
    std::fputs("usage: roadkeep-tool verify OUT_DIR\n", stderr);
    return 2;
  }
  if (OutFolderState(argv[0]) != OutFolder::kHoldsFiles &&
      OutFolderState(argv[0]) != OutFolder::kEmpty) {
    return Fail(std::string(argv[0]) + ": not a folder");
  }
  bool whole = true;
  for (const VerifyLine& line : VerifyPackage(argv[0])) {
    std::printf("%s\n", VerifyLineText(line).c_str());
    whole = whole && line.status == VerifyStatus::kOk;
  }
  return whole ? 0 : 1;
}
