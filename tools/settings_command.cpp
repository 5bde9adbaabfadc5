// roadkeep-tool settings CARD_DIR [key=value...]: shows the recorder's settings as the
// settings dialog reads them, or changes some of them and saves through the dialog's own
// check and save (settings/recorder_settings.h), for setting up cards from a script. Only a
// save writes, and it writes only the keys given whose value changes.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/safe_text.h"
#include "settings/recorder_settings.h"
#include "tools/commands.h"

using roadkeep::platform::TerminalText;

namespace {

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// A plain decimal number ("0", "40"; not "040", "+40" or " 40"), or false.
bool ParseInt(const std::string& text, int* value) {
  if (text.empty() || text.size() > 9 || (text[0] == '0' && text.size() > 1)) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

int VoltageEntryOf(int millivolts) {
  const auto entries = VoltageEntries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (VoltageFromEntry(entries[i]) == millivolts) return static_cast<int>(i);
  }
  return -1;
}

// Puts key=value into the form as the dialog's controls would take it; false with *error
// set when the dialog offers no such choice.
bool Apply(const std::string& key, const std::string& value, SettingsForm* form,
           std::string* error) {
  int n = 0;
  const bool number = ParseInt(value, &n);
  for (int i = 0; i < kShareCount; ++i) {
    if (key != kShareKeys[i]) continue;
    const int selection = number && n % 10 == 0 ? ShareSelection(n) : -1;
    if (selection < 0) *error = key + ": must be one of 10, 20, ... 70";
    form->shares[i] = selection;
    return selection >= 0;
  }
  if (key == "acc_level" || key == "motion_level") {
    const bool bike = key == "acc_level" && number && n == 0;
    if (!number || (!bike && n != 1 && n != 3 && n != 5)) {
      *error = key == "acc_level" ? "acc_level: must be 1, 3 or 5 (0 for bike mode)"
                                  : "motion_level: must be 1, 3 or 5";
      return false;
    }
    if (key == "motion_level") {
      form->motionPosition = LevelToPosition(n);
    } else {
      form->bikeMode = bike;
      if (!bike) form->accPosition = LevelToPosition(n);
    }
    return true;
  }
  if (key == "mic_in" || key == "voice_out") {
    if (!number || (n != 0 && n != 1)) {
      *error = key + ": must be 0 or 1";
      return false;
    }
    (key == "mic_in" ? form->micIn : form->voiceOut) = n == 1;
    return true;
  }
  if (key == "power_off_vlt") {
    const int selection = number ? VoltageEntryOf(n) : -1;
    if (selection < 0) *error = "power_off_vlt: must be 11500, 11800, 12100 or 12400";
    form->voltage = selection;
    return selection >= 0;
  }
  if (key == "time") {
    if (value != "now") {
      *error = "time: only time=now (set the recorder's clock from this PC) is known";
      return false;
    }
    form->timeSync = true;  // the clock lists already hold the time the form was read at
    return true;
  }
  *error = key + ": not a setting of the dialog";
  return false;
}

void Print(const std::string& path, const SettingsForm& form) {
  std::printf("file=%s\n", TerminalText(path).c_str());
  for (int i = 0; i < kShareCount; ++i) {
    if (form.shares[i] < 0) {
      std::printf("%s=(none)\n", kShareKeys[i]);
    } else {
      std::printf("%s=%d\n", kShareKeys[i], ShareValue(form.shares[i]));
    }
  }
  std::printf("acc_level=%d\n", form.bikeMode ? 0 : PositionToLevel(form.accPosition));
  std::printf("motion_level=%d\n", PositionToLevel(form.motionPosition));
  std::printf("mic_in=%d\nvoice_out=%d\n", form.micIn ? 1 : 0, form.voiceOut ? 1 : 0);
  if (form.voltage < 0) {
    std::printf("power_off_vlt=(none)\n");
  } else {
    std::printf("power_off_vlt=%d\n", VoltageFromEntry(VoltageEntries()[form.voltage]));
  }
  std::printf("model=%s\nversion=%s\n", TerminalText(form.model).c_str(),
              TerminalText(form.version).c_str());
}

}  // namespace

int SettingsCommand(int argc, char** argv) {
  if (argc < 1) {
    std::fprintf(stderr, "usage: roadkeep-tool settings CARD_DIR [key=value...]\n");
    return 2;
  }
  const SettingsLocation location = FindCardSettings(argv[0]);
  if (!location.Editable()) {
    std::fprintf(stderr, "settings: %s; nothing read or written\n",
                 TerminalText(SettingsProblem(location)).c_str());
    return 1;
  }
  const std::string& path = location.path;
  const SettingsFile file{path, FactorySettings(nullptr)};
  const SettingsForm opened = ReadSettingsForm(file, LocalNow());
  SettingsForm form = opened;
  if (argc == 1) {
    Print(path, form);
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    const char* equals = std::strchr(argv[i], '=');
    const char* key = argv[i];
    std::string error = std::string(argv[i]) + ": expected key=value";
    if (equals == nullptr || !Apply(std::string(key, equals), equals + 1, &form, &error)) {
      std::fprintf(stderr, "settings: %s; nothing saved\n", TerminalText(error).c_str());
      return 1;
    }
  }
  switch (SaveSettingsForm(file, opened, form)) {
    case SaveResult::kSaved:
      std::printf("saved %s\n", TerminalText(path).c_str());
      return 0;
    case SaveResult::kBadShares:
      std::fprintf(stderr,
                   "settings: the storage shares const+event+park+manual sum to %d, not 100; "
                   "only tat_update was written\n",
                   ShareSum(form));
      return 1;
    case SaveResult::kWriteFailed:
      break;
  }
  std::fprintf(stderr, "settings: cannot write %s (card read-only or removed?); left as it was\n",
               TerminalText(path).c_str());
  return 1;
}
