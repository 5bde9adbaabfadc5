// gpx, csv and impacts: a card's GPS and G-sensor tracks as files and the impacts in them.
// They need the card store and the sentence parser alone, so they run in the lean front of
// roadkeep-tool (tool_front.cpp).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/ini_profile.h"
#include "platform/safe_text.h"
#include "platform/version.h"
#include "sensors/fixed_text.h"
#include "sensors/impacts.h"
#include "sensors/recording_track.h"
#include "sensors/track_export.h"
#include "settings/recorder_settings.h"
#include "tat/card.h"
#include "tat/tat_library.h"
#include "tools/commands.h"

using namespace roadkeep::sensors;

using roadkeep::platform::TerminalText;

namespace {

const std::string kCreator = std::string("Roadkeep ") + kViewerVersion;

int Fail(const std::string& why) {
  std::fprintf(stderr, "roadkeep-tool: %s\n", TerminalText(why).c_str());
  return 1;
}

// The card's recordings of the names given (every one of a name the card holds more than
// once), or all of them, in the library's order of kinds, with their tracks. False, with a
// line said, when the card, a name or a recording cannot be read.
class CCardTracks {
 public:
  ~CCardTracks() {
    if (m_handle != nullptr) TatRelease(m_handle);
  }
  bool Read(const std::string& dir, const std::vector<std::string>& names) {
    std::string problem;
    m_handle = OpenCardAt(dir, &problem);
    if (m_handle == nullptr) return Fail(problem), false;
    TatOnCardFound(m_handle);
    m_card = TatCurrentCard(m_handle);
    std::vector<Recording> recordings;
    if (names.empty()) {
      for (int kind = 0; kind < roadkeep::tat::kKindCount; ++kind) {
        for (Recording& r : m_card->Recordings(kind)) recordings.push_back(std::move(r));
      }
    }
    for (const std::string& name : names) {
      std::vector<Recording> named = RecordingsNamed(m_handle, name);
      if (named.empty()) return Fail(name + ": no such recording on the card"), false;
      for (Recording& r : named) recordings.push_back(std::move(r));
    }
    for (const Recording& r : recordings) {
      NamedTrack named{r.name, {}};
      if (!ReadRecordingTrack(*m_card, r, &named.track)) {
        return Fail(r.name + ": the recording cannot be read"), false;
      }
      tracks.push_back(std::move(named));
    }
    return true;
  }
  std::string Root() const { return m_card->Root(); }

  std::vector<NamedTrack> tracks;

 private:
  TatHandle* m_handle = nullptr;
  std::shared_ptr<CCard> m_card;
};

// DIR NAME... -o FILE: the file is written whole, never over one that is there.
int WriteTrackFile(const char* command, int argc, char** argv,
                   std::string (*text)(const std::vector<NamedTrack>&)) {
  std::vector<std::string> args;
  std::string out;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else {
      args.emplace_back(argv[i]);
    }
  }
  if (args.size() < 2 || out.empty()) {
    std::fprintf(stderr, "usage: roadkeep-tool %s DIR NAME... -o FILE\n", command);
    return 2;
  }
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(out, error))) {
    return Fail(out + ": already there, not replaced");
  }
  CCardTracks card;
  if (!card.Read(args[0], std::vector<std::string>(args.begin() + 1, args.end()))) return 1;
  for (const NamedTrack& t : card.tracks) {
    if (t.track.fixes.empty()) {
      std::fprintf(stderr, "%s: no GPS in this recording\n", TerminalText(t.name).c_str());
    }
  }
  if (!SaveFileWhole(out, text(card.tracks))) return Fail("cannot write " + out);
  return 0;
}

}  // namespace

int GpxCommand(int argc, char** argv) {
  return WriteTrackFile("gpx", argc, argv,
                        [](const std::vector<NamedTrack>& t) { return GpxText(t, kCreator); });
}

int CsvCommand(int argc, char** argv) {
  return WriteTrackFile("csv", argc, argv,
                        [](const std::vector<NamedTrack>& t) { return CsvText(t); });
}

int ImpactsCommand(int argc, char** argv) {
  std::vector<std::string> args;
  double threshold = -1;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--threshold") == 0 && i + 1 < argc) {
      char* end = nullptr;
      threshold = std::strtod(argv[++i], &end);
      if (*end != '\0' || !(threshold > 0 && threshold < 100)) {
        return Fail(std::string("impacts: bad threshold '") + argv[i] + "'");
      }
    } else {
      args.emplace_back(argv[i]);
    }
  }
  if (args.empty()) {
    std::fprintf(stderr, "usage: roadkeep-tool impacts DIR [NAME...] [--threshold G]\n");
    return 2;
  }
  CCardTracks card;
  if (!card.Read(args[0], std::vector<std::string>(args.begin() + 1, args.end()))) return 1;
  // The recorder's own sensitivity where its settings file says it.
  if (threshold < 0) threshold = ImpactThresholdG(CardImpactLevel(card.Root()));
  for (const NamedTrack& t : card.tracks) {
    for (const Impact& impact : FindImpacts(t.track, threshold)) {
      std::printf("%s  %lld ms  %s g  %s\n", TerminalText(t.name).c_str(),
                  static_cast<long long>(impact.ms),
                  FixedText(impact.peakG, 2).c_str(), SideName(impact.side));
    }
  }
  return 0;
}
