// A locked first-in first-out queue of tagged variable-length records kept back to back in
// one byte buffer, between one producer (a reader thread) and one consumer.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <vector>

#include "media/sync.h"

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
  // bytes queued plus size would reach the capacity.
  bool Push(const void* data, int size, int tag);

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
  bool PopLocked(char* id, void* destination, int* size, int* tag, int capacity);
  void DropFrontLocked(int size);

  int m_capacity = 0;  // bytes; 0 until Init
  CSync m_lock{"none"};
  std::condition_variable_any m_pushed;  // signalled by Push, waited on under m_lock
  std::condition_variable_any m_popped;  // signalled by Pop and Clear
  int m_waitingConsumers = 0;            // guarded by m_lock; Push signals only when set
  int64_t m_consumerWants = 1;           // guarded by m_lock; bytes a waiting consumer wants
  int m_waitingProducers = 0;            // guarded by m_lock; Pop signals only when set

  // Guarded by m_lock. Records live in m_bytes[m_head, end); the consumed front is dropped
  // by moving the rest down once it grows past half the buffer, so a pop costs the copy of
  // its own record, not of everything queued behind it.
  std::vector<uint8_t> m_bytes;
  size_t m_head = 0;
  std::vector<int32_t> m_sizes;
  std::vector<int32_t> m_tags;
  size_t m_first = 0;  // index of the oldest record in m_sizes / m_tags
};
