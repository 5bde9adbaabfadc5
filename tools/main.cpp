// roadkeep-tool: writes, lists, dumps and copies recorder cards and recordings.
#include <cstdio>
#include <cstring>

#include "platform/safe_text.h"
#include "tools/commands.h"

namespace {

struct Command {
  const char* name;
  const char* usage;
  int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"avi-info", "avi-info FILE", AviInfoCommand},
    {"avi-copy", "avi-copy IN OUT", AviCopyCommand},
    {"make-card",
     "make-card DIR [--per-kind N] [--count N] [--seconds S] [--front WxH@FPS] [--rear WxH@FPS] "
     "[--front-only-every N] [--seed N] [--filler] [--no-text] [--no-audio] [--gap S] [--trip-every N] [--impact-g G] [--impact-from front|rear|left|right]",
     MakeCardCommand},
    {"list", "list DIR", ListCommand},
    {"dump", "dump DIR NAME", DumpCommand},
    {"trips", "trips DIR [--gap S]", TripsCommand},
    {"play",
     "play DIR NAME [NAME...] [--pane WxH] [--rear-pane WxH] [--seek S] [--pause-at S] "
     "[--step N] [--audio DRIVER] [--audio-file FILE] [--max-seconds S] [--trace]",
     PlayCommand},
    {"export", "export CARD_DIR OUT_DIR [NAME...]", ExportCommand},
    {"mp4", "mp4 DIR OUT_DIR (NAME... | --trip N) [--overlay] [--side-by-side]", Mp4Command},
    {"frame", "frame DIR NAME --frame N --out FILE.jpg [--camera front|rear]", FrameCommand},
    {"gpx", "gpx DIR NAME... -o FILE.gpx", GpxCommand},
    {"csv", "csv DIR NAME... -o FILE.csv", CsvCommand},
    {"impacts", "impacts DIR [NAME...] [--threshold G]", ImpactsCommand},
    {"evidence", "evidence DIR OUT_DIR NAME... [--mp4] [--overlay]", EvidenceCommand},
    {"verify", "verify OUT_DIR", VerifyCommand},
    {"settings", "settings CARD_DIR [const=N event=N park=N manual=N acc_level=N motion_level=N "
     "mic_in=0|1 voice_out=0|1 power_off_vlt=MV time=now]",
     SettingsCommand},
};

bool IsHelp(const char* arg) {
  return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
}

// Every command's usage; asked for, it goes to standard output and the exit is 0.
int Usage(FILE* out, int status) {
  std::fprintf(out, "usage: roadkeep-tool COMMAND ...\n       roadkeep-tool [COMMAND] --help\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(stderr, 2);
  if (IsHelp(argv[1])) return Usage(stdout, 0);
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    for (int i = 2; i < argc; ++i) {
      if (IsHelp(argv[i])) {
        std::printf("usage: roadkeep-tool %s\n", c.usage);
        return 0;
      }
    }
    return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "roadkeep-tool: unknown command '%s'\n",
               roadkeep::platform::TerminalText(argv[1]).c_str());
  return Usage(stderr, 2);
}
