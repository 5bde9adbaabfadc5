// Small helpers shared by the whole-process benchmarks.
#pragma once

#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

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

}  // namespace roadkeep::bench
