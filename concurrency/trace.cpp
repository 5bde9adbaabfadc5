#include "concurrency/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/safe_text.h"

namespace roadkeep {
namespace {
std::atomic<bool> g_enabled{true};
std::atomic<TraceSink> g_sink{nullptr};
}  // namespace

void SetTraceEnabled(bool enabled) { g_enabled = enabled; }
void SetTraceSink(TraceSink sink) { g_sink = sink; }

void TraceToStdout(const char*, const char* line) {
  // A line may carry a card's names: escaped, so it stays one line on the terminal.
  std::string_view text = line;
  const bool ended = !text.empty() && text.back() == '\n';
  if (ended) text.remove_suffix(1);
  std::fputs((roadkeep::platform::TerminalText(text) + (ended ? "\n" : "")).c_str(), stdout);
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
