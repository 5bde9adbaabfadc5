// Small helpers shared by the whole-process benchmarks.
#pragma once

#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "tests/support/temp_dir.h"

namespace roadkeep::bench {

// A positive integer from the environment, or fallback.
inline int EnvInt(const char* name, int fallback) {
  const char* text = std::getenv(name);
  const int value = text ? std::atoi(text) : 0;
  return value > 0 ? value : fallback;
}

inline int64_t MonotonicNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// The folder of the running benchmark, where the programs it starts are built.
inline std::filesystem::path BinDir() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path("build/bin") : self.parent_path();
}

// text in single quotes, for a shell command line.
inline std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// A card made by roadkeep-tool make-card (with options) once and kept under the build
// folder: made into a side folder and renamed when complete, so an interrupted make is never
// taken for a card. Returns the card's folder, or "" with *error set.
inline std::string CachedCard(const std::string& name, const std::string& options,
                              std::string* error) {
  namespace fs = std::filesystem;
  const fs::path dir = BinDir().parent_path() / "bench-cards" / name;
  if (fs::is_directory(dir)) return dir.string();
  const fs::path part = dir.string() + ".part";
  std::error_code fsError;
  fs::remove_all(part, fsError);
  fs::create_directories(dir.parent_path(), fsError);
  const std::string cmd = Quoted((BinDir() / "roadkeep-tool").string()) + " make-card " +
                          Quoted(part.string()) + " " + options + " >/dev/null";
  if (roadkeep::test::RunCommand(cmd) != 0) {
    *error = "roadkeep-tool make-card failed (" + cmd + ")";
    return "";
  }
  fs::rename(part, dir, fsError);
  if (fsError) *error = "cannot rename " + part.string();
  return fsError ? "" : dir.string();
}

}  // namespace roadkeep::bench
