// CPacketQueue: the player's queue of demuxed packets between reading and output, in
// arrival order. Kinds: 0 front video, 1 rear video, 2 text, 3 the start of the next
// recording played without a stop (a one-byte marker). Unbounded; packets are copied
// in and out, and their storage is reused once popped.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "concurrency/sync.h"

class CPacketQueue {
 public:
  enum Kind : int32_t { kFront = 0, kRear = 1, kText = 2, kNextRecording = 3 };

  CPacketQueue() = default;
  CPacketQueue(const CPacketQueue&) = delete;
  CPacketQueue& operator=(const CPacketQueue&) = delete;

  // Appends a copy of size bytes; a size of 0 or less (or null data) is ignored.
  void Push(int32_t kind, const void* data, int size);
  // Moves the oldest packet into destination (capacity bytes). A packet larger than
  // capacity is dropped and the next one taken. False when the queue is empty.
  bool Pop(void* destination, int capacity, int* size, int32_t* kind);
  void Clear();
  int Count() const;
  // The kind of the oldest packet; -1 when the queue is empty.
  int32_t NextKind() const;

 private:
  struct Packet {
    int32_t kind = 0;
    std::vector<uint8_t> bytes;
  };

  // Guarded by m_lock (taken after the player's lock when both are held).
  mutable CSync m_lock{"none"};
  std::deque<Packet> m_packets;
  std::vector<std::vector<uint8_t>> m_spare;  // storage of popped packets, for reuse
};
