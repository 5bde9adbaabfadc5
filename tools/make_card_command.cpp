// make-card: writes a card as the recorder does. Apart from list and dump, since it needs the
// H.264 encoder and OpenCV's drawing, which the lean front of roadkeep-tool never loads.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/safe_text.h"
#include "tools/card_maker.h"
#include "tools/commands.h"

using roadkeep::tools::CardOptions;

using roadkeep::platform::TerminalText;

namespace {

bool ParseSize(const char* text, int* w, int* h, int* fps) {
  return std::sscanf(text, "%dx%d@%d", w, h, fps) == 3;
}

bool ParseInt(const char* text, int* value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 1000000) return false;
  *value = static_cast<int>(v);
  return true;
}

bool ParseImpactG(const char* text, double* g) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v > 0 && v <= roadkeep::tools::kMaxImpactG)) return false;
  *g = v;
  return true;
}

bool ParseSide(const std::string& text, int* side) {
  static const char* const kSides[] = {"front", "rear", "left", "right"};
  for (int i = 0; i < 4; ++i) {
    if (text == kSides[i]) return *side = i, true;
  }
  return false;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "roadkeep-tool: %s\n", TerminalText(why).c_str());
  return 1;
}

}  // namespace

int MakeCardCommand(int argc, char** argv) {
  CardOptions o;
  std::string dir;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    bool ok = true;
    if (arg == "--per-kind") ok = ParseInt(value, &o.perKind), ++i;
    else if (arg == "--count") ok = ParseInt(value, &o.count), ++i;
    else if (arg == "--seconds") ok = ParseInt(value, &o.seconds), ++i;
    else if (arg == "--front-only-every") ok = ParseInt(value, &o.frontOnlyEvery), ++i;
    else if (arg == "--front") ok = ParseSize(value, &o.frontWidth, &o.frontHeight, &o.frontFps), ++i;
    else if (arg == "--rear") ok = ParseSize(value, &o.rearWidth, &o.rearHeight, &o.rearFps), ++i;
    else if (arg == "--seed") ok = ParseInt(value, reinterpret_cast<int*>(&o.seed)), ++i;
    else if (arg == "--gap") ok = ParseInt(value, &o.gapSeconds), ++i;
    else if (arg == "--trip-every") ok = ParseInt(value, &o.tripEvery), ++i;
    else if (arg == "--impact-g") ok = ParseImpactG(value, &o.impactG), ++i;
    else if (arg == "--impact-from") ok = ParseSide(value, &o.impactSide), ++i;
    else if (arg == "--filler") o.filler = true;
    else if (arg == "--no-text") o.text = false;
    else if (arg == "--no-audio") o.audio = false;
    else if (arg.rfind("--", 0) != 0 && dir.empty()) dir = arg;
    else ok = false;
    if (!ok) return Fail("make-card: bad argument '" + arg + "'");
  }
  if (dir.empty()) {
    std::fprintf(stderr,
                 "usage: roadkeep-tool make-card DIR [--per-kind N] [--count N] [--seconds S] "
                 "[--front WxH@FPS] [--rear WxH@FPS] [--front-only-every N] [--seed N] [--filler] "
                 "[--no-text] [--no-audio] [--gap S] [--trip-every N] [--impact-g G] "
                 "[--impact-from front|rear|left|right]\n");
    return 2;
  }
  std::string error;
  if (!roadkeep::tools::MakeCard(dir, o, &error)) return Fail(error);
  std::printf("card written to %s: %d recordings of %d s\n", dir.c_str(),
              o.count > 0 ? o.count : o.perKind * 4, o.seconds);
  return 0;
}
