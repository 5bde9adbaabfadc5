// Subcommands of roadkeep-tool. Each takes its own arguments (after the subcommand name)
// and returns the process exit status; on bad input it prints one line saying why.
#pragma once

#include <string>
#include <vector>

#include "tat/trips.h"

struct TatHandle;
struct Recording;

int AviInfoCommand(int argc, char** argv);
int AviCopyCommand(int argc, char** argv);
int MakeCardCommand(int argc, char** argv);
int ListCommand(int argc, char** argv);
int DumpCommand(int argc, char** argv);
int TripsCommand(int argc, char** argv);
int PlayCommand(int argc, char** argv);
int ExportCommand(int argc, char** argv);
int Mp4Command(int argc, char** argv);
int SettingsCommand(int argc, char** argv);
int FrameCommand(int argc, char** argv);
int GpxCommand(int argc, char** argv);
int CsvCommand(int argc, char** argv);
int ImpactsCommand(int argc, char** argv);
int EvidenceCommand(int argc, char** argv);
int VerifyCommand(int argc, char** argv);

// Why dir is no card the tool can read, as one line ("DIR: not a recorder card", "cannot
// read DIR/TAT/VOLUME.TAT: Permission denied").
std::string CardProblem(const std::string& dir);
// What an error number means for a store file: "not a store file of its kind" for EINVAL (the
// file is there but holds no store of its kind), the system's text otherwise.
std::string StoreErrorText(int error);

// A library handle on the card in dir and nothing else (never another card that is
// mounted); null with *problem set (CardProblem) when dir is not a card.
TatHandle* OpenCardAt(const std::string& dir, std::string* problem);
// The recordings of the handle's card named name (without regard to case; a recorder whose
// clock was not set writes several of one name), in store order.
std::vector<Recording> RecordingsNamed(TatHandle* handle, const std::string& name);
// The trips of the handle's card, oldest first, over all its recordings (as list shows them).
std::vector<roadkeep::tat::Trip> CardTrips(TatHandle* handle,
                                           int gapSeconds = roadkeep::tat::kDefaultTripGapSeconds);
