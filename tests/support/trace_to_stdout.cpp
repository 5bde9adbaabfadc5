// Linked into the test programs whose tests read the engine's trace lines on standard output.
#include "concurrency/trace.h"

namespace {
[[maybe_unused]] const bool kTraceOnStdout = (roadkeep::SetTraceSink(&roadkeep::TraceToStdout), true);
}  // namespace
