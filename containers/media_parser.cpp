#include "containers/media_parser.h"

int ChunkKindOf(const char id[4]) {
  if (id[2] == 'd' && id[3] == 'c') {
    const bool digits = id[0] >= '0' && id[0] <= '9' && id[1] >= '0' && id[1] <= '9';
    const int stream = digits ? (id[0] - '0') * 10 + (id[1] - '0') : -1;
    return stream == 0 ? kKindFrontVideo : kKindRearVideo;
  }
  if (id[2] == 'w' && id[3] == 'b') return kKindAudio;
  if (id[2] == 't' && id[3] == 'x') return kKindText;
  return kKindOther;
}
