// The map page's reach: which tile addresses give an origin that may go into its policy, and
// which requests that origin lets through.
#include "sensors/map_view_policy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace roadkeep::sensors {
namespace {

// Whether a request to "scheme://host[:port]" goes to the origin of tiles.
bool Through(const TileHost& tiles, const std::string& request) {
  const size_t sep = request.find("://"), colon = request.rfind(':');
  const size_t hostEnd = colon > sep ? colon : request.size();
  const int port = colon > sep ? std::stoi(request.substr(colon + 1)) : -1;
  return tiles.Matches(request.substr(0, sep), request.substr(sep + 3, hostEnd - sep - 3), port);
}

TEST(MapViewPolicy, APlainHttpTileAddressGivesTheOneOriginThePageMayReach) {
  const struct {
    const char* tileUrl;
    const char* images;  // the policy's img-src
    std::vector<std::string> through, refused;
  } cases[] = {
      {"HTTPS://Tiles.Example/{z}/{x}/{y}.png?key=\"a b\"",
       "'self' https://tiles.example",
       {"https://tiles.example", "https://tiles.example:443"},
       {"http://tiles.example", "https://tiles.example:8443", "https://a.tiles.example",
        "https://eviltiles.example"}},
      {"http://127.0.0.1:65535/{z}/{x}/{y}.png",
       "'self' http://127.0.0.1:65535",
       {"http://127.0.0.1:65535"},
       {"http://127.0.0.1", "http://127.0.0.1:8081"}},
      {"https://{s}.tiles.example/{z}.png",
       "'self' https://*.tiles.example",
       {"https://a.tiles.example", "https://b.c.tiles.example"},
       {"https://tiles.example", "https://atiles.example", "https://.tiles.example:443"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tileUrl);
    const auto tiles = ParseTileHost(c.tileUrl);
    ASSERT_TRUE(tiles);
    EXPECT_NE(MapContentPolicy(tiles).find(std::string("img-src ") + c.images + ";"),
              std::string::npos);
    for (const auto& r : c.through) EXPECT_TRUE(Through(*tiles, r)) << r;
    for (const auto& r : c.refused) EXPECT_FALSE(Through(*tiles, r)) << r;
  }
  // Anything else could carry policy text of its own, or reach more than one host.
  for (const char* tileUrl :
       {"ftp://tiles.example/{z}", "javascript:alert(1)//{z}", "file:///tmp/{z}.png", "",
        "tiles.example/{z}.png", "http://tiles.example;script-src *;/{z}.png",
        "http://tiles.example' 'unsafe-inline/{z}", "http://tiles.example\"><script>/{z}",
        "http://tiles .example/{z}", "http://*/{z}", "http://user@tiles.example/{z}",
        "http://[::1]:8080/{z}", "http://tiles.example:0/{z}", "http://tiles.example:65536/{z}",
        "http://tiles.example:/{z}", "http://tiles..example/{z}", "http://{z}.tiles.example/{z}",
        "http:///{z}.png"}) {
    EXPECT_FALSE(ParseTileHost(tileUrl)) << tileUrl;
  }
}

}  // namespace
}  // namespace roadkeep::sensors
