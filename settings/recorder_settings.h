// The recorder's settings file on its card, SETTING/blackbox.cfg (INI; sections "blackbox",
// "capacity", "time"), and the settings form: what the settings dialog's controls hold,
// read from and saved to that file. Qt-free, so the dialog and `roadkeep-tool settings`
// share every rule: the list entries, the selection arithmetic, the share check and the
// write order. Any thread; the file is read or saved whole at each call.
//
// A save changes only what the user changed: the form as it was read is kept beside the
// edited one, and only keys whose saved value differs between them are written, each in its
// own line, with the rest of the file byte for byte (platform/ini_profile.h). A key the file
// lacks shows the recorder's factory value; a card whose SETTING folder holds no file shows
// the factory settings, and the file is made from the factory text (CR LF, as the recorder
// writes it) at the first save, never by looking.
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
  bool clockPending = false;  // not a control: the file asks the recorder to set its clock
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

// The recorder's factory settings text (CR LF lines) from library, or from a handle of the
// library's own device defaults when library is null. Empty when the library gives none.
std::string FactorySettings(TatHandle* library);

// A card's settings file, and the factory text that stands in for what it lacks.
struct SettingsFile {
  std::string path;     // need not exist yet
  std::string factory;  // FactorySettings
};

// The form as the dialog fills it from the file, with the clock lists at now. A key the file
// lacks takes its factory value (one in neither reads as "0"); version and model are empty
// then. A missing or unreadable file gives the factory form.
SettingsForm ReadSettingsForm(const SettingsFile& file, const std::tm& now);

// Every key a save of form would write, in order: "tat_update"=1 always, then, only when the
// shares sum to 100, the shares, levels, switches, voltage and "set" (and the clock when set
// is 1).
std::vector<IniEntry> SettingsWrites(const SettingsForm& form);
// What a save of form writes when the file was read as opened: SettingsWrites(form) without
// the keys whose value opened would save too. "tat_update" always stays; "set" stays when it
// differs from the file's (so a clock the file still asks for is called off), and the clock
// keys whenever set is 1.
std::vector<IniEntry> ChangedWrites(const SettingsForm& opened, const SettingsForm& form);

enum class SaveResult { kSaved, kBadShares, kWriteFailed };
// Saves ChangedWrites(opened, form) to the file in one whole-file save; a file that is not
// there yet starts as the factory text. kBadShares when the shares do not sum to 100 (only
// tat_update is written then, if the card takes it); kWriteFailed when the file cannot be
// read or written, with the old file left as it was.
SaveResult SaveSettingsForm(const SettingsFile& file, const SettingsForm& opened,
                            const SettingsForm& form);

// Where a card's settings file is, or why it cannot be edited.
enum class SettingsPlace {
  kFile,        // the file is there and readable
  kNoFile,      // the SETTING folder holds none: the first save makes it
  kNoFolder,    // no SETTING folder (it is never made)
  kNotAFile,    // a folder, device or link to nothing stands in its place
  kLink,        // the file or the SETTING folder is a link: a recorder's card has none, and a
                // save through it would write outside the card
  kTooLarge,    // over kMaxIniBytes: no settings file, left alone
  kUnreadable,  // permissions or an I/O error
};
struct SettingsLocation {
  SettingsPlace place = SettingsPlace::kNoFolder;
  std::string path;  // SETTING/blackbox.cfg; for kNoFolder, the SETTING folder it lacks
  // The card takes no writes there (mounted read-only, or the folder is not writable): the
  // settings can be looked at, not saved.
  bool readOnly = false;
  bool Editable() const { return place == SettingsPlace::kFile || place == SettingsPlace::kNoFile; }
};
// Finds the settings file on the card whose root folder is cardRoot. Folder and file names
// match without regard to case. Writes nothing.
SettingsLocation FindCardSettings(const std::string& cardRoot);
// The recorder's impact sensitivity on the card whose root folder is cardRoot: "acc_level" of
// its settings file (1 low, 3 normal, 5 high, 0 bike mode); -1 when the card has no readable
// settings file or the file no such number.
int CardImpactLevel(const std::string& cardRoot);

// What is wrong with an uneditable location, for a message ("<path>: too large to be a
// settings file ..."); empty for an editable one.
std::string SettingsProblem(const SettingsLocation& location);
