// Trace lines of the engine, worded as the system words them. Nothing is printed unless an
// owner sets a sink: the viewer sends each area to the Qt logging category of the same name
// (off by default), the tool prints them to standard output with --trace.
#pragma once

namespace roadkeep {

// Areas of the trace.
inline constexpr char kTracePlayer[] = "roadkeep.player";
inline constexpr char kTraceCard[] = "roadkeep.card";
inline constexpr char kTraceContainer[] = "roadkeep.avi";
inline constexpr char kTraceQueue[] = "roadkeep.queue";
inline constexpr char kTraceDecoder[] = "roadkeep.decoder";
inline constexpr char kTraceWindow[] = "roadkeep.window";

// Receives each formatted line (with its line end) on the thread that traced it.
using TraceSink = void (*)(const char* area, const char* line);
// Where the lines go; null (the default) drops them. Any thread.
void SetTraceSink(TraceSink sink);
// A sink that prints each line to standard output, flushed, so that lines interleave in order.
void TraceToStdout(const char* area, const char* line);

// printf-style line in area.
void Trace(const char* area, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Benchmarks and fuzzers turn the trace off whatever the sink; it is on from start.
void SetTraceEnabled(bool enabled);

}  // namespace roadkeep
