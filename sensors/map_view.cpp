// The loader of the map module: finds roadkeep-map.so next to the viewer (in lib/ beside
// bin/, or beside the executable), prepares Chromium's environment and loads it once.
#include "sensors/map_view.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLibrary>

#include "platform/network_state.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

namespace {

using CreateViewFn = VMapView* (*)(QWidget*);
using CreateNetworkFn = VNetworkState* (*)();

struct MapModule {
  bool tried = false;
  CreateViewFn createView = nullptr;
  CreateNetworkFn createNetwork = nullptr;
};

// Qt WebEngine, loaded after the application object exists, warns that it should have been
// set up before it (it is: the module makes the GL share context itself), and prints its
// start parameters; neither is for the user.
QtMessageHandler g_previousHandler = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const bool engineChatter =
      (context.category != nullptr && qstrncmp(context.category, "qt.webengine", 12) == 0 &&
       type == QtInfoMsg) ||
      message.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin"));
  if (!engineChatter && g_previousHandler != nullptr) g_previousHandler(type, context, message);
}

int g_quietDepth = 0;

class CQuietEngine {
 public:
  CQuietEngine() {
    if (g_quietDepth++ == 0) g_previousHandler = qInstallMessageHandler(QuietHandler);
  }
  ~CQuietEngine() {
    if (--g_quietDepth == 0) qInstallMessageHandler(g_previousHandler);
  }
  CQuietEngine(const CQuietEngine&) = delete;
  CQuietEngine& operator=(const CQuietEngine&) = delete;
};

MapModule& Module() {
  static MapModule module;
  if (module.tried) return module;
  module.tried = true;
  PrepareMapEnvironment();
  const QString appDir = QCoreApplication::applicationDirPath();
  for (const QString& path : {appDir + QStringLiteral("/../lib/roadkeep-map.so"),
                              appDir + QStringLiteral("/roadkeep-map.so")}) {
    if (!QFile::exists(path)) continue;
    // Kept loaded for the rest of the run: the web engine cannot be unloaded.
    auto* library = new QLibrary(QDir::cleanPath(path));
    library->setLoadHints(QLibrary::PreventUnloadHint);
    CQuietEngine quiet;
    if (!library->load()) {
      qWarning("map: %s", qPrintable(library->errorString()));
      delete library;
      continue;
    }
    module.createView = reinterpret_cast<CreateViewFn>(library->resolve("RoadkeepCreateMapView"));
    module.createNetwork =
        reinterpret_cast<CreateNetworkFn>(library->resolve("RoadkeepCreateNetworkState"));
    break;
  }
  return module;
}

}  // namespace

bool MapViewAllowed() {
  if (kSanitized) return false;
  if (qEnvironmentVariable("ROADKEEP_MAP") == QLatin1String("0")) return false;
  const QString platform = QGuiApplication::platformName();
  return !platform.isEmpty() && platform != QLatin1String("offscreen") &&
         platform != QLatin1String("minimal");
}

void PrepareMapEnvironment() {
  if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
  if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) {
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  }
}

VMapView* CreateMapView(QWidget* parent) {
  if (!MapViewAllowed()) return nullptr;
  const MapModule& module = Module();
  if (module.createView == nullptr) return nullptr;
  // The engine starts with the first view.
  CQuietEngine quiet;
  return module.createView(parent);
}

std::unique_ptr<VNetworkState> CreateMapNetworkState() {
  if (!MapViewAllowed()) return nullptr;
  const MapModule& module = Module();
  return std::unique_ptr<VNetworkState>(module.createNetwork ? module.createNetwork() : nullptr);
}
