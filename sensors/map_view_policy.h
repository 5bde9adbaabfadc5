// What the map page may reach: its own resources (qrc:) and the one tile server, whose address
// template comes from the user (tile_url of config.cfg, ROADKEEP_TILE_URL). The page shows
// text from the card, so it is held to a Content-Security-Policy built from the tile server's
// origin, and the map module refuses every request to any other host. Qt-free, so the address
// rules are tested without a browser.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace roadkeep::sensors {

// The tile server when ROADKEEP_TILE_URL is not set.
inline constexpr char kDefaultTileUrl[] = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";

// The origin tiles come from: scheme, host and port of the address template.
struct TileHost {
  std::string scheme;  // "http" or "https"
  std::string host;    // lower case; "*.example.org" where the template's first label is {s}
  int port = -1;       // -1: the scheme's own

  // Whether a request to scheme://host:port (port -1: the scheme's own, host in lower case)
  // goes to this origin.
  bool Matches(std::string_view scheme, std::string_view host, int port) const;
};

// The origin of a tile address template such as "https://{s}.tile.example.org/{z}/{x}/{y}.png";
// nullopt unless the scheme is http or https and the host is a plain DNS name or IPv4 address
// (letters, digits, '-' and '.'; "{s}." allowed as its first label), with no user name and an
// optional port 1..65535. Such a host can go into a policy without quoting.
std::optional<TileHost> ParseTileHost(std::string_view tileUrl);

// The page's Content-Security-Policy: nothing by default; scripts and style sheets only from
// the page's own origin (no inline script, no eval); images from there and from the tile
// server (none from outside when tiles is nullopt); no base element, forms or frames.
std::string MapContentPolicy(const std::optional<TileHost>& tiles);

}  // namespace roadkeep::sensors
