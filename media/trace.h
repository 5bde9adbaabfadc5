// Trace lines printed by the engine. The system prints its diagnostics to standard output
// exactly as worded; every engine module goes through this one helper.
#pragma once

namespace roadkeep {

// printf-style line to standard output, flushed so that traces interleave in order.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Benchmarks and fuzzers turn the trace off; it is on from start.
void SetTraceEnabled(bool enabled);

}  // namespace roadkeep
