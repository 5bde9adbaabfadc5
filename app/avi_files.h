// AVI files opened by path (the command line, a drop, Ctrl+O): what makes one playable, and
// each as a row of the recording list beside the card's recordings. Qt-free, any thread.
#pragma once

#include <string>

#include "tat/card.h"

// Recording::kindCode of an opened file: no kind of the card, so only "All" shows it.
inline constexpr int kFileKind = -1;

// Why path cannot be played, in a few words ("not an AVI file", "no H.264 video"); empty
// when it can. Reads the file's headers and index.
std::string AviFileProblem(const std::string& path);

// The file as a list row: name its absolute path, kindCode kFileKind, the length, frame
// rates, picture sizes and frame counts of its streams (a second video stream is the rear
// camera), its size in bytes (clamped to 4 GiB - 1), and not `copyable` (an export copies the
// card's recordings).
Recording AviFileRecording(const std::string& path);
