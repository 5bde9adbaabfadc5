// A locked first-in first-out queue of tagged variable-length records kept in one ring of
// bytes, between one producer (a reader thread) and one consumer. Record bytes are copied
// in and out without the lock held: only the records' bookkeeping is locked.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <vector>

#include "concurrency/sync.h"

class CThreadQueue {
 public:
  CThreadQueue();
  virtual ~CThreadQueue();
  CThreadQueue(const CThreadQueue&) = delete;
  CThreadQueue& operator=(const CThreadQueue&) = delete;

  // Empties the queue and sets its capacity in bytes. Call before the producer starts.
  bool Init(int capacity);
  void Clear();

  // Appends a record of size bytes with its tag. Refuses (false, nothing changed) when the
  // bytes queued plus size would reach the capacity, or when the buffer has no contiguous room
  // for it yet.
  bool Push(const void* data, int size, int tag);

  // The producer's in-place push: room for a record of up to maxSize bytes, written by the
  // caller without the lock, then queued by CommitPush with its actual size (at most
  // maxSize). nullptr when Push would refuse maxSize bytes: WaitForSpace(maxSize), then try
  // again. One reservation at a time (one producer); a Clear in between drops the record, and
  // a negative size gives the room back without queuing anything.
  uint8_t* ReservePush(int maxSize);
  void CommitPush(int size, int tag);
  // Queues count records that lie in the reservation, each `offset` bytes from its start, in
  // increasing order without overlap, under one lock (a count of 0 gives the room back).
  struct Pushed {
    int offset;
    int size;
    int tag;
  };
  void CommitPush(const Pushed* records, int count);

  // Copies the oldest record to *destination, sets size and tag and removes it. An empty
  // queue prints "[CThreadQueue] Pop Empty\n" and returns false.
  // REQUIRES: *destination holds at least the record (producers never queue more than the
  // consumer's buffer holds).
  bool Pop(void** destination, int* size, int* tag);

  // As Pop, for records that start with a 4-byte chunk id: the id goes to id, the rest to
  // *destination, size = record size - 4.
  bool PopWithId(char id[4], void** destination, int* size, int* tag);

  // As Pop, bounded: a record larger than capacity is removed without being copied, size is
  // set to its size and the result is false.
  bool Pop(void** destination, int* size, int* tag, int capacity);

  // As PopWithId, bounded: a record whose payload exceeds capacity is removed without being
  // copied, size is set to its payload size and the result is false.
  bool PopWithId(char id[4], void** destination, int* size, int* tag, int capacity);

  // Waits until a record is queued or milliseconds have passed; true when one is queued.
  // Consumers wait here between empty pops instead of sleeping, so a record is taken as
  // soon as it arrives.
  bool WaitForRecord(int milliseconds);
  // As WaitForRecord, for a consumer that takes records in batches: pushes wake it only once
  // `bytes` are queued (or the queue is full), so a producer slower than its consumer does
  // not cost a wake-up per record. WakeConsumer ends the wait early (the producer has
  // stopped). True when a record is queued.
  bool WaitForBytes(int milliseconds, int bytes);
  void WakeConsumer();
  // Polls, without the lock and without sleeping, for up to about `microseconds` until a
  // record is queued; true when one is. A consumer that expects a record within moments
  // spins here first: waking a sleeping thread costs its producer more than the record.
  bool SpinForRecord(int microseconds) const;
  // Waits until a record of size bytes would fit and half the capacity is free (or the queue
  // is empty), or milliseconds have passed; producers wait here between refused pushes. A
  // pop wakes the producer only once that much is free, not for every record.
  bool WaitForSpace(int size, int milliseconds);
  // Ends a WaitForSpace at once (the producer is to look at its running flag).
  void WakeProducer();

  int Capacity() const { return m_capacity; }
  // Number of records queued (takes the lock).
  int Count();
  // Bytes queued (takes the lock).
  int BytesQueued();

 private:
  bool PopRecord(char* id, void* destination, int* size, int* tag, int capacity);

  int m_capacity = 0;  // bytes; 0 until Init
  CSync m_lock{"none"};
  std::condition_variable_any m_pushed;  // signalled by Push, waited on under m_lock
  std::condition_variable_any m_popped;  // signalled by Pop and Clear
  int m_waitingConsumers = 0;            // guarded by m_lock; Push signals only when set
  int64_t m_consumerWants = 1;           // guarded by m_lock; bytes a waiting consumer wants
  int m_waitingProducers = 0;            // guarded by m_lock; Pop signals only when set
  uint64_t m_producerWakes = 0;          // guarded by m_lock; counts WakeProducer calls

  struct Record {
    uint32_t offset;
    int32_t size;
    int32_t tag;
  };
  // Where a record of size bytes would go, or -1 when it does not fit now. Lock held.
  int64_t PlaceLocked(int size) const;
  bool EmptyLocked() const { return m_first == m_records.size(); }

  // Guarded by m_lock. A ring: each record's bytes are contiguous in m_bytes, in queue order
  // from the oldest record's offset, wrapping to the start when the end has no room (the
  // gap left at the end is skipped). Nothing is ever moved: a pop copies its own record out.
  std::vector<uint8_t> m_bytes;
  std::vector<Record> m_records;
  size_t m_first = 0;           // index of the oldest record in m_records
  int64_t m_queued = 0;         // bytes of the queued records
  // Records queued, for SpinForRecord (written under m_lock); on a cache line of its own, so
  // the consumer polling it does not pull in the lines the producer writes.
  struct alignas(64) PaddedCount {
    std::atomic<int> value{0};
  };
  PaddedCount m_count;
  // Clear count (written under m_lock): a reservation made before a Clear is dropped, and
  // a pop whose copy a Clear overlapped reports nothing.
  std::atomic<uint64_t> m_clears{0};
  // The bytes of the record last popped, held until the consumer's next pop so that the copy
  // runs without the lock and the record is removed with one lock per pop.
  int64_t m_held = -1;  // offset, or -1 for none
  int m_heldSize = 0;

  // The producer's reservation (guarded by m_lock; its bytes are the producer's until
  // committed).
  int64_t m_reserved = -1;  // offset, or -1 for none
  int m_reservedSize = 0;
  uint64_t m_reservedClears = 0;
};
