#include "app/trace_log.h"

#include <QLoggingCategory>
#include <cstring>

#include "concurrency/trace.h"

namespace {

Q_LOGGING_CATEGORY(kPlayerLog, roadkeep::kTracePlayer, QtInfoMsg)
Q_LOGGING_CATEGORY(kCardLog, roadkeep::kTraceCard, QtInfoMsg)
Q_LOGGING_CATEGORY(kContainerLog, roadkeep::kTraceContainer, QtInfoMsg)
Q_LOGGING_CATEGORY(kQueueLog, roadkeep::kTraceQueue, QtInfoMsg)
Q_LOGGING_CATEGORY(kDecoderLog, roadkeep::kTraceDecoder, QtInfoMsg)
Q_LOGGING_CATEGORY(kWindowLog, roadkeep::kTraceWindow, QtInfoMsg)

const QLoggingCategory& CategoryOf(const char* area) {
  const QLoggingCategory* categories[] = {&kPlayerLog(),    &kCardLog(),    &kContainerLog(),
                                          &kQueueLog(),     &kDecoderLog(), &kWindowLog()};
  for (const QLoggingCategory* category : categories) {
    if (std::strcmp(category->categoryName(), area) == 0) return *category;
  }
  return kPlayerLog();
}

void ToLogging(const char* area, const char* line) {
  const QLoggingCategory& category = CategoryOf(area);
  if (!category.isDebugEnabled()) return;
  // The engine's lines carry their own line end; the logger adds one.
  size_t length = std::strlen(line);
  while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) --length;
  QMessageLogger(nullptr, 0, nullptr, category.categoryName())
      .debug("%.*s", static_cast<int>(length), line);
}

}  // namespace

void RouteTraceToLogging() {
  roadkeep::SetTraceSink(&ToLogging);
  // The web engine's notes (such as its sandbox being off where it runs as root) are not the
  // user's business; QT_LOGGING_RULES still turns them on.
  QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));
}
