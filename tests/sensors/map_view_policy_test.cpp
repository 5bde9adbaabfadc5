// The map page's reach: which tile addresses give an origin that may go into its policy, and
// which requests that origin lets through.
#include "sensors/map_view_policy.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace roadkeep::sensors {
namespace {

// The img-src of the page's policy for a tile address: what lies between "img-src " and ";".
std::string ImageSources(const std::optional<TileHost>& tiles) {
  const std::string policy = MapContentPolicy(tiles);
  const size_t start = policy.find("img-src ") + 8;
  return policy.substr(start, policy.find(';', start) - start);
}

TEST(MapViewPolicy, TileAddressGivesAnOriginOnlyWhenItIsAPlainHttpHost) {
  const struct {
    const char* tileUrl;
    const char* images;  // nullptr: refused, images from the page's own origin only
  } cases[] = {
      {"https://tile.openstreetmap.org/{z}/{x}/{y}.png", "'self' https://tile.openstreetmap.org"},
      {"http://127.0.0.1:8080/{z}/{x}/{y}.png", "'self' http://127.0.0.1:8080"},
      {"HTTPS://Tiles.Example.ORG/{z}/{x}/{y}.png?key=\"a b\"", "'self' https://tiles.example.org"},
      {"https://{s}.tile.example.org/{z}/{x}/{y}.png", "'self' https://*.tile.example.org"},
      {"http://tiles.example:65535", "'self' http://tiles.example:65535"},
      {"ftp://tiles.example/{z}/{x}/{y}.png", nullptr},
      {"javascript:alert(1)//{z}", nullptr},
      {"file:///tmp/{z}/{x}/{y}.png", nullptr},
      {"data://x/{z}", nullptr},
      {"tiles.example/{z}/{x}/{y}.png", nullptr},
      {"http://tiles.example;script-src *;/{z}.png", nullptr},
      {"http://tiles.example' 'unsafe-inline/{z}.png", nullptr},
      {"http://tiles.example\"><script>/{z}.png", nullptr},
      {"http://tiles .example/{z}.png", nullptr},
      {"http://*/{z}.png", nullptr},
      {"http://user@tiles.example/{z}.png", nullptr},
      {"http://[::1]:8080/{z}.png", nullptr},
      {"http://tiles.example:0/{z}.png", nullptr},
      {"http://tiles.example:65536/{z}.png", nullptr},
      {"http://tiles.example:/{z}.png", nullptr},
      {"http://tiles..example/{z}.png", nullptr},
      {"http://{z}.tiles.example/{z}.png", nullptr},
      {"http:///{z}.png", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<TileHost> tiles = ParseTileHost(c.tileUrl);
    EXPECT_EQ(tiles.has_value(), c.images != nullptr) << c.tileUrl;
    EXPECT_EQ(ImageSources(tiles), c.images ? c.images : "'self'") << c.tileUrl;
  }
}

TEST(MapViewPolicy, PageRunsOnlyItsOwnScriptAndLoadsNothingElse) {
  const std::string policy = MapContentPolicy(ParseTileHost("https://tiles.example/{z}.png"));
  for (const char* directive :
       {"default-src 'none'", "script-src 'self'", "style-src 'self'", "base-uri 'none'",
        "form-action 'none'", "frame-src 'none'"}) {
    EXPECT_NE(policy.find(directive), std::string::npos) << directive;
  }
  EXPECT_EQ(policy.find("unsafe"), std::string::npos);
  EXPECT_EQ(policy.find('"'), std::string::npos);  // it goes into an attribute in quotes
}

TEST(MapViewPolicy, RequestsGoThroughOnlyToTheTileOrigin) {
  const TileHost plain = *ParseTileHost("https://tiles.example/{z}.png");
  const TileHost ported = *ParseTileHost("http://127.0.0.1:8080/{z}.png");
  const TileHost wild = *ParseTileHost("https://{s}.tiles.example/{z}.png");
  const struct {
    const TileHost* tiles;
    const char* scheme;
    const char* host;
    int port;
    bool through;
  } cases[] = {
      {&plain, "https", "tiles.example", -1, true},
      {&plain, "https", "tiles.example", 443, true},
      {&plain, "http", "tiles.example", -1, false},
      {&plain, "https", "tiles.example", 8443, false},
      {&plain, "https", "a.tiles.example", -1, false},
      {&plain, "https", "tiles.example.evil", -1, false},
      {&plain, "https", "eviltiles.example", -1, false},
      {&ported, "http", "127.0.0.1", 8080, true},
      {&ported, "http", "127.0.0.1", -1, false},
      {&ported, "http", "127.0.0.1", 8081, false},
      {&wild, "https", "a.tiles.example", -1, true},
      {&wild, "https", "b.c.tiles.example", -1, true},
      {&wild, "https", "tiles.example", -1, false},
      {&wild, "https", "atiles.example", -1, false},
      {&wild, "https", ".tiles.example", 443, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.tiles->Matches(c.scheme, c.host, c.port), c.through)
        << c.tiles->host << " <- " << c.scheme << "://" << c.host << ":" << c.port;
  }
}

}  // namespace
}  // namespace roadkeep::sensors
