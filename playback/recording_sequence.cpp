#include "playback/recording_sequence.h"

#include <algorithm>

#include "containers/media_parser.h"
#include "playback/player.h"

void CRecordingSequence::Stop() {
  m_player.PausePlayback();
  m_player.StopMedia();  // closes the one it read
  // The player is left with the first parser, whichever it read last.
  m_player.SetParser(m_parsers[0]);
  for (VMediaParser* parser : m_parsers) parser->Close();
  m_reading = 0;
  m_sources.clear();
}

size_t CRecordingSequence::Open(std::vector<MediaSource> sources, size_t first, int withinMs) {
  Stop();
  if (sources.empty()) return 0;
  m_sources = std::move(sources);
  first = std::min(first, m_sources.size() - 1);
  m_player.SetParser(m_parsers[0]);
  // The first one that opens plays; those before it that do not are named.
  for (; first + 1 < m_sources.size(); ++first) {
    MediaInfo info;
    const bool opens = m_parsers[0]->OpenSource(m_sources[first], &info) != 0;
    m_parsers[0]->Close();
    if (opens) break;
    if (m_skipped) m_skipped(first);
    withinMs = 0;
  }
  m_player.OpenMedia(m_sources[first], static_cast<int>(first));
  if (withinMs > 0) m_player.SeekToMs(withinMs, true);
  QueueFrom(first + 1);
  return first;
}

void CRecordingSequence::Entered(int tag) {
  if (tag < 0 || static_cast<size_t>(tag) >= m_sources.size()) return;
  // The player reads the spare now; the one it left is free again.
  m_reading = 1 - m_reading;
  QueueFrom(static_cast<size_t>(tag) + 1);
}

void CRecordingSequence::QueueFrom(size_t index) {
  VMediaParser* spare = m_parsers[1 - m_reading];
  for (; index < m_sources.size(); ++index) {
    MediaInfo info;
    if (spare->OpenSource(m_sources[index], &info) != 0) {
      m_player.QueueNext(spare, info, static_cast<int>(index));
      return;
    }
    if (m_skipped) m_skipped(index);
  }
}
