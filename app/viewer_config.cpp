#include "app/viewer_config.h"

#include <QSettings>
#include <QStandardPaths>
#include <cstdio>
#include <filesystem>
#include <system_error>
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
constexpr int kUrlBuffer = 2048;  // bytes, a URL's practical length

QSettings Profile() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("roadkeep"),
                   QStringLiteral("roadkeep"));
}

}  // namespace

std::string ViewerConfigPath() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return (std::filesystem::path(base.toStdString()) / "roadkeep" / "config.cfg").string();
}

std::string ViewerConfigToRead() { return ViewerConfigPath(); }

bool PrepareViewerConfig() {
  const std::filesystem::path path = ViewerConfigPath();
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  return EnsureConfigFile(path.c_str());
}

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
  const std::string text =
      ReadIniString(kSection, key, absent.c_str(), kValueBuffer, path, LinkPolicy::kFollow);
  const int value = static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
  return value == kAbsentValue ? fallback : value;
}

bool WriteConfigInt(const char* path, const char* key, int value) {
  return WriteIniString(kSection, key, std::to_string(value).c_str(), path, LinkPolicy::kFollow);
}

QString ReadTileUrl() {
  const std::string path = ViewerConfigToRead();
  return QString::fromStdString(
      ReadIniString(kSection, "tile_url", "", kUrlBuffer, path.c_str(), LinkPolicy::kFollow));
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

QRect ReadWindowPlace() {
  const std::string path = ViewerConfigToRead();
  constexpr int kNone = -1;
  const int width = ReadConfigInt(path.c_str(), "window_width", kNone);
  const int height = ReadConfigInt(path.c_str(), "window_height", kNone);
  if (width <= 0 || height <= 0) return QRect();
  return QRect(ReadConfigInt(path.c_str(), "window_x", 0), ReadConfigInt(path.c_str(), "window_y", 0),
               width, height);
}

void CZarezeRadidaDlg::LoadViewerConfig() {
  const std::string path = ViewerConfigToRead();
  CBitmapSlider* brightness = m_controls->Slider(IDC_BRIGHTNESS_SLIDER);
  brightness->SetPos(ReadConfigInt(path.c_str(), "brightness", kDefaultBrightness));
  ApplyBrightness(brightness->GetPos());
  CBitmapSlider* volume = m_controls->Slider(IDC_VOLUME_SLIDER);
  volume->SetPos(ReadConfigInt(path.c_str(), "volume", kDefaultVolume));
  ApplyVolume(volume->GetPos());
}

void CZarezeRadidaDlg::SaveViewerConfig() {
  // A folder that takes no file loses only these two values; the viewer runs on.
  if (!PrepareViewerConfig()) return;
  const std::string path = ViewerConfigPath();
  WriteConfigInt(path.c_str(), "brightness", m_controls->Slider(IDC_BRIGHTNESS_SLIDER)->GetPos());
  WriteConfigInt(path.c_str(), "volume", m_controls->Slider(IDC_VOLUME_SLIDER)->GetPos());
  if (m_normalPlace.isValid()) {
    WriteConfigInt(path.c_str(), "window_x", m_normalPlace.x());
    WriteConfigInt(path.c_str(), "window_y", m_normalPlace.y());
    WriteConfigInt(path.c_str(), "window_width", m_normalPlace.width());
    WriteConfigInt(path.c_str(), "window_height", m_normalPlace.height());
  }
}
