// The viewer's version: its --version, the settings dialog, the tile requests' User-Agent
// and what the tools write into files they make.
#pragma once

inline constexpr const char* kViewerVersion = "2.5.9";
