#include "settings/recorder_settings.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>

#include "platform/part_file.h"
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

// Values of the file, and of the factory text for the keys the file lacks.
class CFormReader {
 public:
  explicit CFormReader(const SettingsFile& file) : m_factory(file.factory) {
    std::string bytes;
    if (LoadIniFile(file.path, &bytes)) m_text = CIniText(bytes);
  }
  int Number(const char* section, const char* key) const {
    auto value = m_text.Get(section, key);
    if (!value) value = m_factory.Get(section, key);
    return ToInt(Cut(value ? *value : std::string("0"), kValueBuffer));
  }
  // A text of the recorder's own (version, model): no factory text stands in for it.
  std::string Text(const char* section, const char* key, int buffer) const {
    return Cut(m_text.Get(section, key).value_or(std::string()), buffer);
  }

 private:
  static std::string Cut(const std::string& value, int buffer) {
    return value.substr(0, static_cast<size_t>(buffer - 1));
  }
  CIniText m_text;
  CIniText m_factory;
};

bool IsLink(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The entry of folder named name without regard to case (the exact name first); empty when
// there is none.
std::string ChildIgnoringCase(const std::string& folder, const char* name) {
  struct stat info {};
  if (::lstat((folder + "/" + name).c_str(), &info) == 0) return folder + "/" + name;
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

SettingsPlace PlaceOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return errno == ENOENT ? SettingsPlace::kNotAFile : SettingsPlace::kUnreadable;
  }
  if (S_ISLNK(info.st_mode)) return SettingsPlace::kLink;
  if (!S_ISREG(info.st_mode)) return SettingsPlace::kNotAFile;
  if (static_cast<size_t>(info.st_size) > kMaxIniBytes) return SettingsPlace::kTooLarge;
  const int fd = OpenRegularFile(path);
  if (fd < 0) return SettingsPlace::kUnreadable;
  ::close(fd);
  return SettingsPlace::kFile;
}

// Every key of the form, in write order, with the value a save gives it.
std::vector<IniEntry> FormValues(const SettingsForm& form) {
  std::vector<IniEntry> values;
  for (int i = 0; i < kShareCount; ++i) {
    values.push_back({kCapacity, kShareKeys[i], std::to_string(ShareValue(form.shares[i]))});
  }
  const int acc = form.bikeMode ? 0 : PositionToLevel(form.accPosition);
  values.push_back({kBlackbox, "acc_level", std::to_string(acc)});
  values.push_back(
      {kBlackbox, "motion_level", std::to_string(PositionToLevel(form.motionPosition))});
  values.push_back({kBlackbox, "mic_in", form.micIn ? "1" : "0"});
  values.push_back({kBlackbox, "voice_out", form.voiceOut ? "1" : "0"});
  const int voltage = InRange(form.voltage, kVoltageEntryCount);
  // A list without a selection has no text, which converts to 0.
  values.push_back({kBlackbox, "power_off_vlt",
                    std::to_string(voltage < 0 ? 0 : VoltageFromEntry(kVoltageEntries[voltage]))});
  values.push_back({kTime, "set", form.timeSync ? "1" : "0"});
  if (form.timeSync) {
    for (int i = 0; i < kTimeFieldCount; ++i) {
      values.push_back({kTime, kTimeKeys[i], std::to_string(TimeValue(i, form.time[i]))});
    }
  }
  return values;
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

std::string FactorySettings(TatHandle* library) {
  const std::unique_ptr<TatHandle, void (*)(TatHandle*)> own(
      library == nullptr ? TatCreate() : nullptr, &TatRelease);
  char text[kFactoryBuffer];
  int length = kFactoryBuffer;
  const int ok = TatDefaultSettings(library != nullptr ? library : own.get(), text, &length);
  if (ok == 0 || length < 0 || length > kFactoryBuffer) return std::string();
  return std::string(text, static_cast<size_t>(length));
}

SettingsForm ReadSettingsForm(const SettingsFile& file, const std::tm& now) {
  const CFormReader values(file);
  SettingsForm form;
  form.voltage = VoltageSelection(values.Number(kBlackbox, "power_off_vlt"));
  form.micIn = values.Number(kBlackbox, "mic_in") != 0;
  form.voiceOut = values.Number(kBlackbox, "voice_out") != 0;
  for (int i = 0; i < kShareCount; ++i) {
    form.shares[i] = ShareSelection(values.Number(kCapacity, kShareKeys[i]));
  }
  form.motionPosition = LevelToPosition(values.Number(kBlackbox, "motion_level"));
  const int acc = values.Number(kBlackbox, "acc_level");
  form.accPosition = LevelToPosition(acc);
  form.bikeMode = acc == 0;
  const int clock[kTimeFieldCount] = {now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                                      now.tm_hour,        now.tm_min,     now.tm_sec};
  for (int i = 0; i < kTimeFieldCount; ++i) form.time[i] = TimeSelection(i, clock[i]);
  form.version = values.Text(kBlackbox, "version", kValueBuffer);
  form.model = values.Text(kBlackbox, "model", kModelBuffer);
  form.timeSync = false;
  form.clockPending = values.Number(kTime, "set") != 0;
  return form;
}

std::vector<IniEntry> SettingsWrites(const SettingsForm& form) {
  std::vector<IniEntry> writes = {{kBlackbox, "tat_update", "1"}};
  if (ShareSum(form) != 100) return writes;
  for (IniEntry& e : FormValues(form)) writes.push_back(std::move(e));
  return writes;
}

std::vector<IniEntry> ChangedWrites(const SettingsForm& opened, const SettingsForm& form) {
  std::vector<IniEntry> writes = {{kBlackbox, "tat_update", "1"}};
  if (ShareSum(form) != 100) return writes;
  std::map<std::string, std::string> before;  // the clock keys are never among them
  for (IniEntry& e : FormValues(opened)) before[e.key] = std::move(e.value);
  before["set"] = opened.clockPending ? "1" : "0";
  for (IniEntry& e : FormValues(form)) {
    if (before[e.key] != e.value) writes.push_back(std::move(e));
  }
  return writes;
}

SaveResult SaveSettingsForm(const SettingsFile& file, const SettingsForm& opened,
                            const SettingsForm& form) {
  struct stat info {};
  const bool exists = ::lstat(file.path.c_str(), &info) == 0;
  // A SETTING folder turned into a link since the file was found would lead the save off the
  // card; the file itself is refused as a link by the load and the save.
  const size_t slash = file.path.rfind('/');
  if (slash != std::string::npos && slash > 0 && IsLink(file.path.substr(0, slash))) {
    return SaveResult::kWriteFailed;
  }
  std::string bytes;
  if (file.path.empty() || !LoadIniFile(file.path, &bytes)) return SaveResult::kWriteFailed;
  CIniText text(exists ? std::string_view(bytes) : std::string_view(file.factory));
  bool written = true;
  for (const IniEntry& e : ChangedWrites(opened, form)) {
    written = written && text.Set(e.section, e.key, e.value);
  }
  written = written && SaveFileWhole(file.path, text.Bytes());
  if (ShareSum(form) != 100) return SaveResult::kBadShares;
  return written ? SaveResult::kSaved : SaveResult::kWriteFailed;
}

int CardImpactLevel(const std::string& cardRoot) {
  const SettingsLocation location = FindCardSettings(cardRoot);
  if (location.place != SettingsPlace::kFile) return -1;
  const std::string text =
      ReadIniString(kBlackbox, "acc_level", "", 16, location.path.c_str());
  char* end = nullptr;
  const long level = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || end == text.c_str() || level < 0 || level > 5) return -1;
  return static_cast<int>(level);
}

SettingsLocation FindCardSettings(const std::string& cardRoot) {
  const std::string folder = ChildIgnoringCase(cardRoot, "SETTING");
  if (!folder.empty() && IsLink(folder)) return {SettingsPlace::kLink, folder};
  if (folder.empty() || !IsFolder(folder)) return {SettingsPlace::kNoFolder, cardRoot + "/SETTING"};
  // A save writes a file beside the old one and renames it over: the folder must take writes.
  struct statvfs volume {};
  const bool readOnly = (::statvfs(folder.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY)) ||
                        ::access(folder.c_str(), W_OK) != 0;
  const std::string path = ChildIgnoringCase(folder, "blackbox.cfg");
  if (path.empty()) return {SettingsPlace::kNoFile, folder + "/blackbox.cfg", readOnly};
  return {PlaceOf(path), path, readOnly};
}

std::string SettingsProblem(const SettingsLocation& location) {
  switch (location.place) {
    case SettingsPlace::kFile:
    case SettingsPlace::kNoFile:
      return std::string();
    case SettingsPlace::kNoFolder:
      return location.path + ": no such folder";
    case SettingsPlace::kNotAFile:
      return location.path + ": not a settings file (a folder, device or broken link)";
    case SettingsPlace::kLink:
      return location.path +
             ": a link, which no recorder makes; not followed, so nothing outside the card is "
             "read or written";
    case SettingsPlace::kTooLarge:
      return location.path + ": too large to be a settings file (over " +
             std::to_string(kMaxIniBytes >> 20) + " MiB)";
    case SettingsPlace::kUnreadable:
      return location.path + ": cannot be read";
  }
  return std::string();
}
