#include "concurrency/thread_queue.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "concurrency/trace.h"

CThreadQueue::CThreadQueue() = default;
CThreadQueue::~CThreadQueue() = default;

bool CThreadQueue::Init(int capacity) {
  CSyncGuard guard(m_lock);
  m_capacity = capacity > 0 ? capacity : 0;
  m_bytes.assign(static_cast<size_t>(m_capacity), 0);
  m_records.clear();
  m_records.reserve(128);
  m_first = 0;
  m_queued = 0;
  m_reserved = -1;
  m_held = -1;
  ++m_clears;
  return true;
}

void CThreadQueue::Clear() {
  CSyncGuard guard(m_lock);
  m_count.value.store(0, std::memory_order_release);
  m_records.clear();
  m_first = 0;
  m_queued = 0;
  m_reserved = -1;
  m_held = -1;
  ++m_clears;
  m_popped.notify_all();
}

int64_t CThreadQueue::PlaceLocked(int size) const {
  if (size < 0 || m_queued + size >= m_capacity) return -1;
  const int64_t total = static_cast<int64_t>(m_bytes.size());
  // The oldest bytes in use: the popped record still being copied, else the oldest record.
  const bool held = m_held >= 0;
  if (EmptyLocked() && !held) return size <= total ? 0 : -1;
  const int64_t head = held ? m_held : m_records[m_first].offset;
  const int64_t lastOffset = EmptyLocked() ? m_held : m_records.back().offset;
  const int64_t end = lastOffset + (EmptyLocked() ? m_heldSize : m_records.back().size);
  if (lastOffset < head) return end + size <= head ? end : -1;  // wrapped: up to the oldest
  if (end + size <= total) return end;
  return size <= head ? 0 : -1;  // wrap, leaving the end's gap
}

uint8_t* CThreadQueue::ReservePush(int maxSize) {
  CSyncGuard guard(m_lock);
  const int64_t at = PlaceLocked(maxSize);
  if (at < 0) {
    // Full: a consumer waiting for a batch takes what there is.
    if (m_waitingConsumers > 0) m_pushed.notify_one();
    return nullptr;
  }
  m_reserved = at;
  m_reservedSize = maxSize;
  m_reservedClears = m_clears;
  return m_bytes.data() + at;
}

void CThreadQueue::CommitPush(int size, int tag) {
  const Pushed record{0, size, tag};
  CommitPush(&record, size < 0 ? 0 : 1);
}

void CThreadQueue::CommitPush(const Pushed* records, int count) {
  CSyncGuard guard(m_lock);
  int64_t total = 0;
  int64_t end = 0;  // within the reservation
  bool valid = m_reserved >= 0 && m_reservedClears == m_clears && count >= 0;
  for (int i = 0; valid && i < count; ++i) {
    valid = records[i].size >= 0 && records[i].offset >= end &&
            int64_t{records[i].offset} + records[i].size <= m_reservedSize;
    end = int64_t{records[i].offset} + records[i].size;
    total += records[i].size;
  }
  const int64_t base = m_reserved;
  m_reserved = -1;
  if (!valid || count == 0) return;
  if (m_first >= 64) {
    m_records.erase(m_records.begin(), m_records.begin() + static_cast<ptrdiff_t>(m_first));
    m_first = 0;
  }
  const int64_t before = m_queued;
  for (int i = 0; i < count; ++i) {
    m_records.push_back(
        {static_cast<uint32_t>(base + records[i].offset), records[i].size, records[i].tag});
  }
  m_queued += total;
  m_count.value.store(static_cast<int>(m_records.size() - m_first), std::memory_order_release);
  if (m_waitingConsumers > 0 && (before + total >= m_consumerWants || total == 0)) {
    m_pushed.notify_one();
  }
}

bool CThreadQueue::Push(const void* data, int size, int tag) {
  if (size < 0 || (size > 0 && data == nullptr)) return false;
  uint8_t* room = ReservePush(size);
  if (room == nullptr) return false;
  if (size > 0) std::memcpy(room, data, static_cast<size_t>(size));
  CommitPush(size, tag);
  return true;
}

bool CThreadQueue::SpinForRecord(int microseconds) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
  for (int i = 0;; ++i) {
    if (m_count.value.load(std::memory_order_acquire) > 0) return true;
    if ((i & 63) == 63 && std::chrono::steady_clock::now() >= until) return false;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
}

void CThreadQueue::WakeConsumer() {
  CSyncGuard guard(m_lock);
  m_pushed.notify_all();
}

bool CThreadQueue::WaitForSpace(int size, int milliseconds) {
  std::unique_lock<CSync> lock(m_lock);
  ++m_waitingProducers;
  const uint64_t wakes = m_producerWakes;
  bool ready = false;
  m_popped.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
    // Half the capacity free (or room for this record, whichever is more) before the
    // producer wakes: fewer, larger refills. A WakeProducer ends the wait at once.
    ready = PlaceLocked(size) >= 0 && (m_queued <= m_capacity / 2 || EmptyLocked());
    return ready || m_producerWakes != wakes;
  });
  --m_waitingProducers;
  return ready;
}

void CThreadQueue::WakeProducer() {
  CSyncGuard guard(m_lock);
  ++m_producerWakes;
  m_popped.notify_all();
}

bool CThreadQueue::WaitForRecord(int milliseconds) { return WaitForBytes(milliseconds, 1); }

bool CThreadQueue::WaitForBytes(int milliseconds, int bytes) {
  std::unique_lock<CSync> lock(m_lock);
  ++m_waitingConsumers;
  m_consumerWants = std::max(bytes, 1);
  // One wake-up ends the wait: a push that brought the bytes wanted, a refused push, a
  // WakeConsumer or the time limit. Then whatever is queued is taken.
  if (m_queued < m_consumerWants && (EmptyLocked() || m_consumerWants > 1)) {
    m_pushed.wait_for(lock, std::chrono::milliseconds(milliseconds));
  }
  m_consumerWants = 1;
  --m_waitingConsumers;
  return !EmptyLocked();
}

bool CThreadQueue::Pop(void** destination, int* size, int* tag) {
  return PopRecord(nullptr, destination ? *destination : nullptr, size, tag, INT_MAX);
}

bool CThreadQueue::Pop(void** destination, int* size, int* tag, int capacity) {
  return PopRecord(nullptr, destination ? *destination : nullptr, size, tag, capacity);
}

bool CThreadQueue::PopWithId(char id[4], void** destination, int* size, int* tag) {
  return PopRecord(id, destination ? *destination : nullptr, size, tag, INT_MAX);
}

bool CThreadQueue::PopWithId(char id[4], void** destination, int* size, int* tag,
                             int capacity) {
  return PopRecord(id, destination ? *destination : nullptr, size, tag, capacity);
}

int CThreadQueue::Count() {
  CSyncGuard guard(m_lock);
  return static_cast<int>(m_records.size() - m_first);
}

int CThreadQueue::BytesQueued() {
  CSyncGuard guard(m_lock);
  return static_cast<int>(m_queued);
}

bool CThreadQueue::PopRecord(char* id, void* destination, int* size, int* tag, int capacity) {
  Record record{};
  uint64_t clears = 0;
  {
    CSyncGuard guard(m_lock);
    m_held = -1;  // the last pop's copy is done
    if (EmptyLocked()) {
      if (m_waitingProducers > 0) m_popped.notify_one();
      roadkeep::Trace(roadkeep::kTraceQueue, "[CThreadQueue] Pop Empty\n");
      return false;
    }
    record = m_records[m_first];
    clears = m_clears;
    ++m_first;
    m_queued -= record.size;
    if (EmptyLocked()) {
      m_records.clear();
      m_first = 0;
    }
    m_count.value.store(static_cast<int>(m_records.size() - m_first), std::memory_order_release);
    // Removed from the queue, but its bytes are held (not reused) until the next pop.
    m_held = record.offset;
    m_heldSize = record.size;
    if (m_waitingProducers > 0 && (m_queued <= m_capacity / 2 || EmptyLocked())) {
      m_popped.notify_one();
    }
  }
  // The copy runs without the lock, so the producer is never held up by it.
  const uint8_t* src = m_bytes.data() + record.offset;
  int payload = record.size;
  if (id != nullptr) {
    // A record shorter than an id yields what it has and a zero-filled rest.
    std::memset(id, 0, 4);
    std::memcpy(id, src, record.size < 4 ? record.size : 4);
    payload = record.size < 4 ? 0 : record.size - 4;
    src += record.size < 4 ? record.size : 4;
  }
  const bool fits = payload <= capacity;
  if (fits && payload > 0 && destination) std::memcpy(destination, src, payload);
  if (m_clears.load(std::memory_order_acquire) != clears) {
    // Cleared during the copy: the record is gone and what was copied may be torn.
    roadkeep::Trace(roadkeep::kTraceQueue, "[CThreadQueue] Pop Empty\n");
    if (size) *size = 0;
    return false;
  }
  if (tag) *tag = record.tag;
  if (size) *size = payload;
  return fits;
}
