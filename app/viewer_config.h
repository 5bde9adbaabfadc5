// The viewer's own settings: config.cfg (section "config": "brightness", "volume", the
// window's place, "tile_url") in $XDG_CONFIG_HOME/roadkeep/ (~/.config/roadkeep/ when unset),
// and the export and snapshot folders in the per-application profile. Nothing is read from the
// working folder: the viewer is often started inside a card, and a card's file must not pick
// the tile server (and so learn the places viewed). GUI thread.
#pragma once

#include <QRect>
#include <QString>
#include <string>

constexpr int kAbsentValue = -200;  // what a missing key reads as
constexpr int kDefaultBrightness = 0;
constexpr int kDefaultVolume = 50;

// $XDG_CONFIG_HOME/roadkeep/config.cfg, where the settings are saved.
std::string ViewerConfigPath();
// Where the settings are read from: the XDG file (a missing one reads as empty).
std::string ViewerConfigToRead();
// Readies the XDG file for a save: its folder and the file made when missing. False when the
// file cannot be made.
bool PrepareViewerConfig();

// Makes sure path exists: created empty when it cannot be opened for reading. False when
// it can be neither read nor created.
bool EnsureConfigFile(const char* path);
// key of section "config" as a plain decimal conversion of at most 9 characters; text not
// starting with a number is 0; fallback when the key (or the file) is missing.
int ReadConfigInt(const char* path, const char* key, int fallback);
// Writes value with "%d". False when the file cannot be written (nothing else is lost).
bool WriteConfigInt(const char* path, const char* key, int value);

// The normal window's place when it last closed (keys "window_x", "window_y",
// "window_width", "window_height" of config.cfg); an empty rect when never saved.
QRect ReadWindowPlace();

// Key "tile_url" of config.cfg: the map's tile server as an address template
// ("https://tiles.example/{z}/{x}/{y}.png", up to 2047 bytes); empty when not set. Read, never
// written: the user sets it by hand.
QString ReadTileUrl();

// Profile section "Info", key "TargetFolder"; empty when never set.
QString ReadTargetFolder();
void WriteTargetFolder(const QString& folder);
// Profile section "Info", key "SnapshotFolder": the folder of the last snapshot saved; empty
// when never set.
QString ReadSnapshotFolder();
void WriteSnapshotFolder(const QString& folder);
