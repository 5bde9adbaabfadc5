// Files written under a temporary name beside their destination and renamed into place only
// when whole, so a folder never holds half a file under the name the user asked for. The
// temporary name carries the writing process's id: one left by a process that died is told
// from one still being written and removed.
#pragma once

#include <string>

// "PREFIXPID-N.part" in destination's folder, N counting this process's parts; prefix is a
// hidden name such as ".rk-export-".
std::string PartPath(const std::string& destination, const char* prefix);
// Renames part to destination: over an existing file only when replace, and otherwise never
// over anything, even a file that appeared meanwhile. 0 or an errno value.
int MoveIntoPlace(const std::string& part, const std::string& destination, bool replace);
// Removes the regular files named by PartPath with prefix in folder whose process is gone.
void RemoveStaleParts(const std::string& folder, const char* prefix);
