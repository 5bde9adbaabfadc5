// The viewer's own settings: "./config.cfg" (section "config": "brightness", "volume") in the
// working directory, and the export folder in the per-application profile. GUI thread.
#pragma once

#include <QString>

constexpr const char* kViewerConfigPath = "./config.cfg";
constexpr int kAbsentValue = -200;  // what a missing key reads as
constexpr int kDefaultBrightness = 0;
constexpr int kDefaultVolume = 50;

// Makes sure path exists: created empty when it cannot be opened for reading. False when
// it can be neither read nor created.
bool EnsureConfigFile(const char* path);
// key of section "config" as a plain decimal conversion of at most 9 characters; text not
// starting with a number is 0; fallback when the key (or the file) is missing.
int ReadConfigInt(const char* path, const char* key, int fallback);
// Writes value with "%d". False when the file cannot be written (nothing else is lost).
bool WriteConfigInt(const char* path, const char* key, int value);

// Profile section "Info", key "TargetFolder"; empty when never set.
QString ReadTargetFolder();
void WriteTargetFolder(const QString& folder);
// Profile section "Info", key "SnapshotFolder": the folder of the last snapshot saved; empty
// when never set.
QString ReadSnapshotFolder();
void WriteSnapshotFolder(const QString& folder);
