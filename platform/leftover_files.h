// Leftovers of interrupted saves. A save that replaces a file writes a temporary file beside
// it and renames that over the file; a card pulled (or a process killed) between the two
// leaves the temporary file behind. The next save in the folder removes such files.
//
// A leftover is a regular file (never a link, folder or device) whose name the caller's
// pattern claims and whose last change lies more than kLeftoverAgeSeconds from now, in either
// direction: no save takes that long, and a card's times may come from a PC whose clock or
// time zone differs. A younger file may be another save that is still writing, so it stays.
#pragma once

#include <string>
#include <string_view>

inline constexpr int kLeftoverAgeSeconds = 60;

// Whether name (a folder entry, without the folder) is a temporary file of the caller's own.
using LeftoverPattern = bool (*)(std::string_view name);

// Removes the leftovers of folder that pattern claims; returns how many went. Failures are
// let be (cleaning never fails the save that asked for it). Any thread.
int RemoveLeftovers(const std::string& folder, LeftoverPattern pattern);
