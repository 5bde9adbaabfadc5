// Subcommands of roadkeep-tool. Each takes its own arguments (after the subcommand name)
// and returns the process exit status; on bad input it prints one line saying why.
#pragma once

#include <string>

int AviInfoCommand(int argc, char** argv);
int AviCopyCommand(int argc, char** argv);
int MakeCardCommand(int argc, char** argv);
int ListCommand(int argc, char** argv);
int DumpCommand(int argc, char** argv);
int PlayCommand(int argc, char** argv);
int ExportCommand(int argc, char** argv);
int SettingsCommand(int argc, char** argv);

// Why dir is no card the tool can read, as one line ("DIR: not a recorder card", "cannot
// read DIR/TAT/VOLUME.TAT: Permission denied").
std::string CardProblem(const std::string& dir);
