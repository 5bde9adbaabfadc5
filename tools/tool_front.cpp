// roadkeep-tool as started: runs the commands that need the card store alone (list, dump,
// trips, which adds only the GPS sentence parser, and export, which adds only the parser and
// the AVI writer) itself and hands every other command, with its arguments, to
// roadkeep-tool-full beside it.
// A program's shared libraries are all loaded before main runs (there is no deferred loading),
// so one program holding the player, the H.264 encoder, SDL and OpenCV would load some ninety
// of them for every listing of a card.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/safe_text.h"
#include "tools/commands.h"

namespace {

constexpr const char* kFullTool = "roadkeep-tool-full";

bool AsksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

// The folder of this program's own file, ending in '/'; empty when it cannot be told.
std::string OwnFolder(const char* argv0) {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string self = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string(argv0);
  const size_t slash = self.rfind('/');
  return slash == std::string::npos ? std::string() : self.substr(0, slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && !AsksForHelp(argc, argv)) {
    if (std::strcmp(argv[1], "list") == 0) return ListCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "dump") == 0) return DumpCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "trips") == 0) return TripsCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "gpx") == 0) return GpxCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "csv") == 0) return CsvCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "impacts") == 0) return ImpactsCommand(argc - 2, argv + 2);
    // The export copies chunks through the card-store parser and the AVI writer alone.
    if (std::strcmp(argv[1], "export") == 0) return ExportCommand(argc - 2, argv + 2);
  }
  // Usage, help and the other commands are the full program's.
  const std::string folder = OwnFolder(argv[0]);
  const std::string full = folder + kFullTool;
  if (folder.empty()) {
    ::execvp(kFullTool, argv);
  } else {
    ::execv(full.c_str(), argv);
  }
  std::fprintf(stderr, "roadkeep-tool: cannot run %s: %s\n",
               roadkeep::platform::TerminalText(full).c_str(), std::strerror(errno));
  return 127;
}
