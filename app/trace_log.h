// The engine's trace areas as Qt logging categories of the same names ("roadkeep.player",
// "roadkeep.card", ...), debug messages off by default: QT_LOGGING_RULES="roadkeep.*=true"
// turns them on.
#pragma once

// Sends the engine's trace to the categories. Call once, before the engine starts.
void RouteTraceToLogging();
