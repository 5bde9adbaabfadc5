// The recorder's settings file on its card, SETTING/blackbox.cfg (INI; sections "blackbox",
// "capacity", "time"), and the settings form: what the settings dialog's controls hold,
// read from and saved to that file. Qt-free, so the dialog and `roadkeep-tool settings`
// share every rule: the list entries, the selection arithmetic, the share check and the
// write order. Any thread; the file is read or saved whole at each call.
#pragma once

#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "platform/ini_profile.h"

struct TatHandle;

inline constexpr int kShareCount = 4;
// Form order of the shares: "const" (list 1173), "event" (1176), "park" (1174), "manual"
// (1178), which is also the order in which they are written.
enum ShareIndex { kShareConst = 0, kShareEvent = 1, kSharePark = 2, kShareManual = 3 };
inline constexpr const char* kShareKeys[kShareCount] = {"const", "event", "park", "manual"};

// Clock lists 1180 ... 1185: year, month, day, hour, minute, second. The year list runs to
// 2099: a list that ended before today's year would select nothing and save year 0.
inline constexpr int kTimeFieldCount = 6;
struct NumberList {
  int first;
  int count;
};
inline constexpr NumberList kTimeLists[kTimeFieldCount] = {{2013, 87}, {1, 12}, {1, 31},
                                                           {1, 24},    {0, 60}, {0, 60}};
inline constexpr const char* kTimeKeys[kTimeFieldCount] = {"year", "month", "day",
                                                           "hour", "min",   "sec"};

// Entries of the share lists ("10" ... "70") and of the battery list 1177.
std::span<const char* const> ShareEntries();
std::span<const char* const> VoltageEntries();

// What the dialog's controls hold. A selection of -1 is a list without a selection.
struct SettingsForm {
  int shares[kShareCount] = {-1, -1, -1, -1};
  int voltage = -1;        // list 1177
  bool micIn = false;      // 1154 checked (1155 holds the opposite)
  bool voiceOut = false;   // 1156 checked (1159 holds the opposite)
  bool bikeMode = false;   // 1157
  int accPosition = 2;     // slider 1186, 1 ... 3
  int motionPosition = 2;  // slider 1171, 1 ... 3
  bool timeSync = false;   // 1162
  int time[kTimeFieldCount] = {-1, -1, -1, -1, -1, -1};
  std::string version;  // firmware, at most 9 characters
  std::string model;    // at most 19 characters
};

// Selection arithmetic. Results outside a list's range are -1 (no selection).
int ShareSelection(int percent);           // percent / 10 - 1
int VoltageSelection(int millivolts);      // (v - 11500) / 300 for v >= 1, else entry 2
int LevelToPosition(int level);            // 1 -> 1, 5 -> 3, anything else 2
int PositionToLevel(int position);         // 1 -> 1, 3 -> 5, anything else 3
int VoltageFromEntry(const char* text);    // "11.8v/23.6v" -> 11800
int TimeSelection(int field, int value);   // value - first entry of list field
// The number of a list's selected entry; 0 when nothing is selected.
int ShareValue(int selection);
int TimeValue(int field, int selection);
int ShareSum(const SettingsForm& form);

// The form as the dialog fills it from the file at path (every key read with default "0"),
// with the clock lists at now. Missing or damaged files give the form of all-zero values.
SettingsForm ReadSettingsForm(const std::string& path, const std::tm& now);

// The keys a save writes, in order: "tat_update"=1 always, then, only when the shares sum to
// 100, the shares, levels, switches, voltage and "set" (and the clock when set is 1).
std::vector<IniEntry> SettingsWrites(const SettingsForm& form);

enum class SaveResult { kSaved, kBadShares, kWriteFailed };
// Saves the form's writes to path in one whole-file save. kBadShares when the shares do not
// sum to 100 (only tat_update is written then, if the card takes it); kWriteFailed when the
// file cannot be read or written, with the old file left as it was.
SaveResult SaveSettingsForm(const std::string& path, const SettingsForm& form);

// The settings file on the first of volumes (mount points in drive-letter order) that holds
// it or takes it: a volume whose SETTING folder lacks blackbox.cfg gets the factory text of
// library (carriage returns removed). The SETTING folder is never made. Folder and file
// names match without regard to case. Empty when no volume holds or takes the file.
std::string FindSettingsFile(const std::vector<std::string>& volumes, TatHandle* library);
