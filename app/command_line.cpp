#include "app/command_line.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/avi_files.h"
#include "tat/tat_library.h"

std::string CommandLineHelp() {
  return "Usage: roadkeep [PATH...]\n"
         "Plays the recordings of a car recorder's card.\n"
         "\n"
         "  PATH       a card (its mount point, a folder above it or inside it) or AVI files\n"
         "  --help     show this help and exit\n"
         "  --version  show the version and exit\n"
         "\n"
         "Without PATH, the viewer waits for a card to be inserted.\n";
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  auto refuse = [&line](const std::string& why) {
    line.action = CommandLine::Action::kRefuse;
    line.refusal = "roadkeep: " + why;
    return line;
  };
  bool pathsOnly = false;  // after "--"
  for (const std::string& arg : args) {
    if (!pathsOnly && arg == "--") {
      pathsOnly = true;
      continue;
    }
    if (!pathsOnly && (arg == "--help" || arg == "-h")) {
      line.action = CommandLine::Action::kHelp;
      return line;
    }
    if (!pathsOnly && arg == "--version") {
      line.action = CommandLine::Action::kVersion;
      return line;
    }
    if (!pathsOnly && arg.size() > 1 && arg[0] == '-') {
      return refuse("unknown option " + arg + " (see roadkeep --help)");
    }
    std::error_code error;
    const auto status = std::filesystem::status(arg, error);
    if (arg.empty() || !std::filesystem::exists(status)) {
      return refuse(arg + ": no such file or folder");
    }
    const bool folder = std::filesystem::is_directory(status);
    if (::access(arg.c_str(), folder ? R_OK | X_OK : R_OK) != 0) {
      return refuse(arg + ": cannot be read (" + std::strerror(errno) + ")");
    }
    if (folder) {
      std::string card = TatFindCardFolder(arg);
      if (card.empty()) return refuse(arg + ": no recorder card in this folder");
      line.cards.push_back(std::move(card));
    } else if (!std::filesystem::is_regular_file(status)) {
      return refuse(arg + ": neither a recorder card nor an AVI file");  // a FIFO, a device
    } else if (const std::string problem = AviFileProblem(arg); !problem.empty()) {
      return refuse(arg + ": " + problem + "; neither a recorder card nor a playable AVI file");
    } else {
      line.aviFiles.push_back(std::filesystem::absolute(arg, error).lexically_normal().string());
    }
  }
  return line;
}
