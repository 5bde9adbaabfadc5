// roadkeep-tool: writes, lists, dumps and copies recorder cards and recordings.
#include <cstdio>
#include <cstring>

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
    {"make-card", "make-card DIR [options]", MakeCardCommand},
    {"list", "list DIR", ListCommand},
    {"dump", "dump DIR NAME", DumpCommand},
    {"play", "play DIR NAME [NAME...] [options]", PlayCommand},
};

int Usage() {
  std::fprintf(stderr, "usage: roadkeep-tool COMMAND ...\n");
  for (const Command& c : kCommands) std::fprintf(stderr, "  %s\n", c.usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "roadkeep-tool: unknown command '%s'\n", argv[1]);
  return Usage();
}
