#include "app/viewer_config.h"

#include <QSettings>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "platform/ini_profile.h"
#include "resources/resource_ids.h"

namespace {

constexpr const char* kSection = "config";
constexpr int kValueBuffer = 10;  // bytes, so at most 9 characters are read

QSettings Profile() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("roadkeep"),
                   QStringLiteral("roadkeep"));
}

}  // namespace

bool EnsureConfigFile(const char* path) {
  if (FILE* file = std::fopen(path, "r")) {
    std::fclose(file);
    return true;
  }
  FILE* created = std::fopen(path, "w+");
  if (created == nullptr) return false;
  std::fclose(created);
  return true;
}

int ReadConfigInt(const char* path, const char* key, int fallback) {
  const std::string absent = std::to_string(kAbsentValue);
  const std::string text = ReadIniString(kSection, key, absent.c_str(), kValueBuffer, path);
  const int value = static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
  return value == kAbsentValue ? fallback : value;
}

bool WriteConfigInt(const char* path, const char* key, int value) {
  return WriteIniString(kSection, key, std::to_string(value).c_str(), path);
}

QString ReadTargetFolder() {
  return Profile().value(QStringLiteral("Info/TargetFolder")).toString();
}

QString ReadSnapshotFolder() {
  return Profile().value(QStringLiteral("Info/SnapshotFolder")).toString();
}

void WriteSnapshotFolder(const QString& folder) {
  Profile().setValue(QStringLiteral("Info/SnapshotFolder"), folder);
}

void WriteTargetFolder(const QString& folder) {
  Profile().setValue(QStringLiteral("Info/TargetFolder"), folder);
}

void CZarezeRadidaDlg::LoadViewerConfig() {
  EnsureConfigFile(kViewerConfigPath);
  CBitmapSlider* brightness = m_controls->Slider(IDC_BRIGHTNESS_SLIDER);
  brightness->SetPos(ReadConfigInt(kViewerConfigPath, "brightness", kDefaultBrightness));
  ApplyBrightness(brightness->GetPos());
  CBitmapSlider* volume = m_controls->Slider(IDC_VOLUME_SLIDER);
  volume->SetPos(ReadConfigInt(kViewerConfigPath, "volume", kDefaultVolume));
  ApplyVolume(volume->GetPos());
}

void CZarezeRadidaDlg::SaveViewerConfig() {
  // A folder that takes no file loses only these two values; the viewer runs on.
  WriteConfigInt(kViewerConfigPath, "brightness",
                 m_controls->Slider(IDC_BRIGHTNESS_SLIDER)->GetPos());
  WriteConfigInt(kViewerConfigPath, "volume", m_controls->Slider(IDC_VOLUME_SLIDER)->GetPos());
}
