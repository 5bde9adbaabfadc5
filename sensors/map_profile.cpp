#include "sensors/map_profile.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

#include "platform/version.h"

namespace {

// The program has no web site of its own: a name under .invalid (reserved, never resolves)
// says which program asks without pointing at anyone else's site; the version is in the
// User-Agent. Chromium cancels a request whose Referer its referrer policy would not have
// sent: an origin alone passes the policy's trimming, and http, not https, because an https
// Referer is never sent to an http server (a downgrade), which a local ROADKEEP_TILE_URL often
// is.
constexpr char kReferer[] = "http://roadkeep.invalid/";

// About 5,000 tiles of 15-30 KB: the roads of several hundred km at zoom 16, enough for the
// trips a user plays again, while the map never takes more of the disk than this (Chromium's
// own limit grows with the free space). Chromium drops the least recently used beyond it.
constexpr int kHttpCacheBytes = 100 * 1024 * 1024;

// Only the tile requests go to http(s); the page and Leaflet come from qrc:.
class CTileReferer : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QString scheme = info.requestUrl().scheme();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
      info.setHttpHeader(QByteArrayLiteral("Referer"), QByteArray(kReferer));
    }
  }
};

}  // namespace

QWebEngineProfile* MapProfile() {
  static QWebEngineProfile* profile = [] {
    // A named profile keeps its data on disk. The generic cache folder, not the per-program
    // one, so the folder is the viewer's whatever the running program's name (tests, tools).
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                           QStringLiteral("/roadkeep/map");
    auto* made =
        new QWebEngineProfile(QStringLiteral("roadkeep-map"), QCoreApplication::instance());
    made->setPersistentStoragePath(folder);
    made->setCachePath(folder);
    made->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    made->setHttpCacheMaximumSize(kHttpCacheBytes);
    made->setHttpUserAgent(QStringLiteral("Roadkeep/") + QLatin1String(kViewerVersion));
    made->setUrlRequestInterceptor(new CTileReferer(made));
    return made;
  }();
  return profile;
}
