#include "sensors/map_view_policy.h"

#include <charconv>

namespace roadkeep::sensors {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerText(std::string_view text) {
  std::string out;
  for (const char c : text) out += Lower(c);
  return out;
}

// Labels of letters, digits and '-', none empty, joined by single dots.
bool PlainHost(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  size_t label = 0;
  for (const char c : host) {
    if (c == '.') {
      if (label == 0) return false;
      label = 0;
      continue;
    }
    const char l = Lower(c);
    if (!((l >= 'a' && l <= 'z') || (l >= '0' && l <= '9') || l == '-')) return false;
    ++label;
  }
  return label > 0;
}

int DefaultPort(std::string_view scheme) { return scheme == "https" ? 443 : 80; }

}  // namespace

bool TileHost::Matches(std::string_view requestScheme, std::string_view requestHost,
                       int requestPort) const {
  if (requestScheme != scheme) return false;
  const int want = port < 0 ? DefaultPort(scheme) : port;
  if ((requestPort < 0 ? DefaultPort(requestScheme) : requestPort) != want) return false;
  if (host.starts_with("*.")) {
    // One label or more in front of the rest, as the policy's wildcard reads it.
    const std::string_view rest = std::string_view(host).substr(1);  // ".example.org"
    return requestHost.size() > rest.size() && requestHost.ends_with(rest);
  }
  return requestHost == host;
}

std::optional<TileHost> ParseTileHost(std::string_view tileUrl) {
  TileHost tiles;
  const size_t colon = tileUrl.find("://");
  if (colon == std::string_view::npos) return std::nullopt;
  tiles.scheme = LowerText(tileUrl.substr(0, colon));
  if (tiles.scheme != "http" && tiles.scheme != "https") return std::nullopt;
  std::string_view authority = tileUrl.substr(colon + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (const size_t portColon = authority.rfind(':'); portColon != std::string_view::npos) {
    const std::string_view digits = authority.substr(portColon + 1);
    int port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        port < 1 || port > 65535) {
      return std::nullopt;
    }
    tiles.port = port;
    authority = authority.substr(0, portColon);
  }
  std::string host;
  if (authority.starts_with("{s}.")) {
    host = "*.";
    authority.remove_prefix(4);
  }
  if (!PlainHost(authority)) return std::nullopt;
  tiles.host = host + LowerText(authority);
  return tiles;
}

std::string MapContentPolicy(const std::optional<TileHost>& tiles) {
  std::string images = "'self'";
  if (tiles) {
    images += " " + tiles->scheme + "://" + tiles->host;
    if (tiles->port >= 0) images += ":" + std::to_string(tiles->port);
  }
  return "default-src 'none'; script-src 'self'; style-src 'self'; img-src " + images +
         "; base-uri 'none'; form-action 'none'; frame-src 'none'";
}

}  // namespace roadkeep::sensors
