#include "media/trace.h"

#include <cstdarg>
#include <cstdio>

namespace roadkeep {

void Trace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

}  // namespace roadkeep
