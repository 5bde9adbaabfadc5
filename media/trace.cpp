#include "media/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace roadkeep {
namespace {
std::atomic<bool> g_enabled{true};
}  // namespace

void SetTraceEnabled(bool enabled) { g_enabled = enabled; }

void Trace(const char* format, ...) {
  if (!g_enabled) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

}  // namespace roadkeep
