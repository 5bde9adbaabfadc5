#include "settings/recorder_settings.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <strings.h>

#include "tat/tat_library.h"

namespace {

constexpr const char* kBlackbox = "blackbox";
constexpr const char* kCapacity = "capacity";
constexpr const char* kTime = "time";
constexpr int kValueBuffer = 10;  // bytes: at most 9 characters of a value
constexpr int kModelBuffer = 20;
constexpr int kFactoryBuffer = 2048;

constexpr const char* kShareEntries[] = {"10", "20", "30", "40", "50", "60", "70"};
constexpr const char* kVoltageEntries[] = {"11.5v/23.0v", "11.8v/23.6v", "12.1v/24.2v",
                                           "12.4v/24.8v"};
constexpr int kShareEntryCount = static_cast<int>(std::size(kShareEntries));
constexpr int kVoltageEntryCount = static_cast<int>(std::size(kVoltageEntries));
constexpr int kDefaultVoltageEntry = 2;

int InRange(int index, int count) { return index >= 0 && index < count ? index : -1; }

// C-library decimal conversion of the leading digits; anything else is 0.
int ToInt(const std::string& text) { return static_cast<int>(std::strtol(text.c_str(), nullptr, 10)); }

class CFormReader {
 public:
  explicit CFormReader(const std::string& path) {
    std::string bytes;
    if (LoadIniFile(path, &bytes)) m_text = CIniText(bytes);
  }
  std::string Text(const char* section, const char* key, int buffer) const {
    const auto value = m_text.Get(section, key);
    return (value ? *value : std::string("0")).substr(0, static_cast<size_t>(buffer - 1));
  }
  int Number(const char* section, const char* key) const {
    return ToInt(Text(section, key, kValueBuffer));
  }

 private:
  CIniText m_text;
};

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// The entry of folder named name without regard to case (the exact name first); empty when
// there is none.
std::string ChildIgnoringCase(const std::string& folder, const char* name) {
  if (Exists(folder + "/" + name)) return folder + "/" + name;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return std::string();
  std::string found;
  while (const dirent* entry = ::readdir(dir)) {
    if (::strcasecmp(entry->d_name, name) == 0) {
      found = folder + "/" + entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

bool Readable(const std::string& path) {
  std::string bytes;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && LoadIniFile(path, &bytes);
}

// Writes the library's factory text, without carriage returns, as a new file at path.
void WriteFactoryText(const std::string& path, TatHandle* library) {
  char text[kFactoryBuffer];
  int length = kFactoryBuffer;
  if (library == nullptr || TatDefaultSettings(library, text, &length) == 0) return;
  if (length < 0 || length > kFactoryBuffer) return;
  std::string bytes(text, static_cast<size_t>(length));
  bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
  SaveFileWhole(path, bytes);
}

}  // namespace

std::span<const char* const> ShareEntries() { return kShareEntries; }
std::span<const char* const> VoltageEntries() { return kVoltageEntries; }

int ShareSelection(int percent) { return InRange(percent / 10 - 1, kShareEntryCount); }

int VoltageSelection(int millivolts) {
  if (millivolts < 1) return kDefaultVoltageEntry;
  return InRange((millivolts - 11500) / 300, kVoltageEntryCount);
}

int LevelToPosition(int level) { return level == 1 ? 1 : level == 5 ? 3 : 2; }
int PositionToLevel(int position) { return position == 1 ? 1 : position == 3 ? 5 : 3; }

int VoltageFromEntry(const char* text) {
  if (text == nullptr) return 0;
  const double volts = std::strtod(text, nullptr);
  if (!(volts > -1e6 && volts < 1e6)) return 0;  // also NaN; keeps the cast defined
  return static_cast<int>(volts * 1000.0);
}

int TimeSelection(int field, int value) {
  if (field < 0 || field >= kTimeFieldCount) return -1;
  return InRange(value - kTimeLists[field].first, kTimeLists[field].count);
}

int ShareValue(int selection) {
  return InRange(selection, kShareEntryCount) < 0 ? 0 : ToInt(kShareEntries[selection]);
}

int TimeValue(int field, int selection) {
  if (field < 0 || field >= kTimeFieldCount) return 0;
  const NumberList list = kTimeLists[field];
  return InRange(selection, list.count) < 0 ? 0 : list.first + selection;
}

int ShareSum(const SettingsForm& form) {
  int sum = 0;
  for (int selection : form.shares) sum += ShareValue(selection);
  return sum;
}

SettingsForm ReadSettingsForm(const std::string& path, const std::tm& now) {
  const CFormReader file(path);
  SettingsForm form;
  form.voltage = VoltageSelection(file.Number(kBlackbox, "power_off_vlt"));
  form.micIn = file.Number(kBlackbox, "mic_in") != 0;
  form.voiceOut = file.Number(kBlackbox, "voice_out") != 0;
  for (int i = 0; i < kShareCount; ++i) {
    form.shares[i] = ShareSelection(file.Number(kCapacity, kShareKeys[i]));
  }
  form.motionPosition = LevelToPosition(file.Number(kBlackbox, "motion_level"));
  const int acc = file.Number(kBlackbox, "acc_level");
  form.accPosition = LevelToPosition(acc);
  form.bikeMode = acc == 0;
  const int clock[kTimeFieldCount] = {now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                                      now.tm_hour,        now.tm_min,     now.tm_sec};
  for (int i = 0; i < kTimeFieldCount; ++i) form.time[i] = TimeSelection(i, clock[i]);
  form.version = file.Text(kBlackbox, "version", kValueBuffer);
  form.model = file.Text(kBlackbox, "model", kModelBuffer);
  form.timeSync = false;
  return form;
}

std::vector<IniEntry> SettingsWrites(const SettingsForm& form) {
  std::vector<IniEntry> writes = {{kBlackbox, "tat_update", "1"}};
  if (ShareSum(form) != 100) return writes;
  for (int i = 0; i < kShareCount; ++i) {
    writes.push_back({kCapacity, kShareKeys[i], std::to_string(ShareValue(form.shares[i]))});
  }
  const int acc = form.bikeMode ? 0 : PositionToLevel(form.accPosition);
  writes.push_back({kBlackbox, "acc_level", std::to_string(acc)});
  writes.push_back(
      {kBlackbox, "motion_level", std::to_string(PositionToLevel(form.motionPosition))});
  writes.push_back({kBlackbox, "mic_in", form.micIn ? "1" : "0"});
  writes.push_back({kBlackbox, "voice_out", form.voiceOut ? "1" : "0"});
  const int voltage = InRange(form.voltage, kVoltageEntryCount);
  // A list without a selection has no text, which converts to 0.
  writes.push_back({kBlackbox, "power_off_vlt",
                    std::to_string(voltage < 0 ? 0 : VoltageFromEntry(kVoltageEntries[voltage]))});
  writes.push_back({kTime, "set", form.timeSync ? "1" : "0"});
  if (form.timeSync) {
    for (int i = 0; i < kTimeFieldCount; ++i) {
      writes.push_back({kTime, kTimeKeys[i], std::to_string(TimeValue(i, form.time[i]))});
    }
  }
  return writes;
}

SaveResult SaveSettingsForm(const std::string& path, const SettingsForm& form) {
  const bool written = WriteIniStrings(path, SettingsWrites(form));
  if (ShareSum(form) != 100) return SaveResult::kBadShares;
  return written ? SaveResult::kSaved : SaveResult::kWriteFailed;
}

std::string FindSettingsFile(const std::vector<std::string>& volumes, TatHandle* library) {
  for (const std::string& volume : volumes) {
    const std::string folder = ChildIgnoringCase(volume, "SETTING");
    if (folder.empty()) continue;
    std::string path = ChildIgnoringCase(folder, "blackbox.cfg");
    if (path.empty()) {
      path = folder + "/blackbox.cfg";
      WriteFactoryText(path, library);
    }
    if (Readable(path)) return path;
  }
  return std::string();
}
