#include "concurrency/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace roadkeep {
namespace {
std::atomic<bool> g_enabled{true};
std::atomic<TraceSink> g_sink{nullptr};
}  // namespace

void SetTraceEnabled(bool enabled) { g_enabled = enabled; }
void SetTraceSink(TraceSink sink) { g_sink = sink; }

void TraceToStdout(const char*, const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

void Trace(const char* area, const char* format, ...) {
  const TraceSink sink = g_sink;
  if (!g_enabled || sink == nullptr) return;
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  sink(area, line);
}

}  // namespace roadkeep
