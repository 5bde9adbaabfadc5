// main() for GoogleTest suites that need Qt widgets: a QApplication on the offscreen
// platform unless the caller chose another (test discovery runs without the environment).
// Each run keeps the viewer's settings and caches (the map's tiles) in a folder of its own,
// never the user's.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  char config[] = "/tmp/roadkeep-test-config-XXXXXX";
  const bool ownConfig = mkdtemp(config) != nullptr;
  if (ownConfig) {
    setenv("XDG_CONFIG_HOME", config, 1);
    setenv("XDG_CACHE_HOME", (std::string(config) + "/cache").c_str(), 1);
  }
  int result = 0;
  {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  if (ownConfig) std::filesystem::remove_all(config, ignored);
  return result;
}
