// CRecordingSequence: recordings played in a row without a stop (a trip), through one player
// and two parsers of one kind. The one after the recording playing is opened ahead in the
// parser the player does not read and queued in the player (QueueNext); once the player
// reports that its output has passed into it, the parsers swap roles and the one after that
// is opened. A recording that cannot be opened is skipped and reported.
//
// Threads: every call is for the owner's thread. The player's next-callback runs on its
// worker; the owner hands the tag it reported to Entered on its own thread.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "containers/media_parser.h"

class CQMVMediaPlayer;
class VMediaParser;

class CRecordingSequence {
 public:
  // Neither is owned; both parsers are started by the owner and outlive the sequence's use.
  CRecordingSequence(CQMVMediaPlayer& player, VMediaParser& first, VMediaParser& second)
      : m_player(player), m_parsers{&first, &second} {}

  // index: the recording left out (it could not be opened).
  void SetSkipped(std::function<void(size_t index)> skipped) { m_skipped = std::move(skipped); }

  // Stops what plays and plays sources (each opened by OpenSource) from first at withinMs;
  // the player's tags are the indexes into sources. Those that cannot be opened before the
  // first that can are skipped; when none can, the last is given to the player, which
  // reports it as unreadable. Returns the index of the one that plays.
  size_t Open(std::vector<MediaSource> sources, size_t first, int withinMs);
  // The player reported (next-callback) that it plays sources[tag] now.
  void Entered(int tag);
  // Stops the player and closes both parsers; the sequence is empty and the player reads the
  // first parser again.
  void Stop();
  bool Active() const { return !m_sources.empty(); }
  // The parser the player reads (the first one when nothing plays).
  VMediaParser* Reading() const { return m_parsers[m_reading]; }

 private:
  // Opens the first of sources from index on that opens in the spare parser and queues it.
  void QueueFrom(size_t index);

  CQMVMediaPlayer& m_player;
  VMediaParser* m_parsers[2];
  int m_reading = 0;  // which parser the player reads; the other is the spare
  std::vector<MediaSource> m_sources;
  std::function<void(size_t)> m_skipped;
};
