#include "app/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tat/tat_library.h"

bool LooksLikeAvi(const std::string& path) {
  // O_NONBLOCK: a FIFO or device named by mistake must not hang the start.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  char head[12] = {};
  const bool avi = ::read(fd, head, sizeof head) == static_cast<ssize_t>(sizeof head) &&
                   std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0;
  ::close(fd);
  return avi;
}

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
    } else if (LooksLikeAvi(arg)) {
      line.aviFiles.push_back(std::filesystem::absolute(arg, error).string());
    } else {
      return refuse(arg + ": neither a recorder card nor an AVI file");
    }
  }
  return line;
}
