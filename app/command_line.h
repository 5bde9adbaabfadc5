// The viewer's command line: roadkeep [PATH...] [--help] [--version]. Each PATH is a card (a
// folder holding the card store, or a folder above or inside one) or an AVI file. Qt-free.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kRefuse };
  Action action = Action::kRun;
  std::vector<std::string> cards;     // folders holding a card store, in the order given
  std::vector<std::string> aviFiles;  // in the order given
  std::string refusal;                // kRefuse: one line saying why
};

// args without the program's name. The first word that is neither an option nor a usable
// path refuses the whole line.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
// What --help prints.
std::string CommandLineHelp();
