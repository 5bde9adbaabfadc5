#include "media/thread_queue.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "media/trace.h"

CThreadQueue::CThreadQueue() = default;
CThreadQueue::~CThreadQueue() = default;

bool CThreadQueue::Init(int capacity) {
  m_bytes.clear();
  m_bytes.reserve(capacity > 0 ? static_cast<size_t>(capacity) : 0);
  m_head = 0;
  m_sizes.clear();
  m_tags.clear();
  m_first = 0;
  m_sizes.reserve(100);
  m_tags.reserve(100);
  m_capacity = capacity;
  return true;
}

void CThreadQueue::Clear() {
  CSyncGuard guard(m_lock);
  m_bytes.clear();
  m_head = 0;
  m_sizes.clear();
  m_tags.clear();
  m_first = 0;
  m_popped.notify_all();
}

bool CThreadQueue::Push(const void* data, int size, int tag) {
  if (size < 0 || (size > 0 && data == nullptr)) return false;
  CSyncGuard guard(m_lock);
  const int64_t queued = static_cast<int64_t>(m_bytes.size() - m_head);
  if (queued + size >= m_capacity) {
    // Full: a consumer waiting for a batch takes what there is.
    if (m_waitingConsumers > 0) m_pushed.notify_one();
    return false;
  }
  if (m_head > 0 && m_bytes.size() + size > m_bytes.capacity()) {
    // Reuse the consumed front before the buffer would grow.
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<ptrdiff_t>(m_head));
    m_head = 0;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  m_bytes.insert(m_bytes.end(), bytes, bytes + size);
  m_sizes.push_back(size);
  m_tags.push_back(tag);
  if (m_waitingConsumers > 0 && queued + size >= m_consumerWants) m_pushed.notify_one();
  return true;
}

void CThreadQueue::WakeConsumer() {
  CSyncGuard guard(m_lock);
  m_pushed.notify_all();
}

bool CThreadQueue::WaitForSpace(int size, int milliseconds) {
  std::unique_lock<CSync> lock(m_lock);
  ++m_waitingProducers;
  const bool ready = m_popped.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
    // Half the capacity free (or room for this record, whichever is more) before the
    // producer wakes: fewer, larger refills.
    const int64_t queued = static_cast<int64_t>(m_bytes.size() - m_head);
    return queued + size < m_capacity && (queued <= m_capacity / 2 || m_first == m_sizes.size());
  });
  --m_waitingProducers;
  return ready;
}

void CThreadQueue::WakeProducer() {
  CSyncGuard guard(m_lock);
  m_popped.notify_all();
}

bool CThreadQueue::WaitForRecord(int milliseconds) { return WaitForBytes(milliseconds, 1); }

bool CThreadQueue::WaitForBytes(int milliseconds, int bytes) {
  std::unique_lock<CSync> lock(m_lock);
  ++m_waitingConsumers;
  m_consumerWants = std::max(bytes, 1);
  // One wake-up ends the wait: a push that brought the bytes wanted, a refused push, a
  // WakeConsumer or the time limit. Then whatever is queued is taken.
  if (static_cast<int64_t>(m_bytes.size() - m_head) < m_consumerWants) {
    m_pushed.wait_for(lock, std::chrono::milliseconds(milliseconds));
  }
  m_consumerWants = 1;
  --m_waitingConsumers;
  return m_first < m_sizes.size();
}

bool CThreadQueue::Pop(void** destination, int* size, int* tag) {
  CSyncGuard guard(m_lock);
  return PopLocked(nullptr, destination ? *destination : nullptr, size, tag, INT_MAX);
}

bool CThreadQueue::Pop(void** destination, int* size, int* tag, int capacity) {
  CSyncGuard guard(m_lock);
  return PopLocked(nullptr, destination ? *destination : nullptr, size, tag, capacity);
}

bool CThreadQueue::PopWithId(char id[4], void** destination, int* size, int* tag) {
  CSyncGuard guard(m_lock);
  return PopLocked(id, destination ? *destination : nullptr, size, tag, INT_MAX);
}

bool CThreadQueue::PopWithId(char id[4], void** destination, int* size, int* tag,
                             int capacity) {
  CSyncGuard guard(m_lock);
  return PopLocked(id, destination ? *destination : nullptr, size, tag, capacity);
}

int CThreadQueue::Count() {
  CSyncGuard guard(m_lock);
  return static_cast<int>(m_sizes.size() - m_first);
}

int CThreadQueue::BytesQueued() {
  CSyncGuard guard(m_lock);
  return static_cast<int>(m_bytes.size() - m_head);
}

bool CThreadQueue::PopLocked(char* id, void* destination, int* size, int* tag, int capacity) {
  if (m_first == m_sizes.size()) {
    roadkeep::Trace("[CThreadQueue] Pop Empty\n");
    return false;
  }
  const int record = m_sizes[m_first];
  const uint8_t* src = m_bytes.data() + m_head;
  int payload = record;
  if (id != nullptr) {
    // A record shorter than an id yields what it has and a zero-filled rest.
    std::memset(id, 0, 4);
    std::memcpy(id, src, record < 4 ? record : 4);
    payload = record < 4 ? 0 : record - 4;
    src += record < 4 ? record : 4;
  }
  if (tag) *tag = m_tags[m_first];
  if (size) *size = payload;
  const bool fits = payload <= capacity;
  if (fits && payload > 0 && destination) std::memcpy(destination, src, payload);
  DropFrontLocked(record);
  if (m_waitingProducers > 0) {
    const int64_t queued = static_cast<int64_t>(m_bytes.size() - m_head);
    if (queued <= m_capacity / 2 || m_first == m_sizes.size()) m_popped.notify_one();
  }
  return fits;
}

void CThreadQueue::DropFrontLocked(int size) {
  m_head += static_cast<size_t>(size);
  ++m_first;
  if (m_first == m_sizes.size()) {
    m_bytes.clear();
    m_sizes.clear();
    m_tags.clear();
    m_head = 0;
    m_first = 0;
    return;
  }
  if (m_head * 2 >= m_bytes.capacity()) {
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<ptrdiff_t>(m_head));
    m_head = 0;
  }
  if (m_first >= 64) {
    m_sizes.erase(m_sizes.begin(), m_sizes.begin() + static_cast<ptrdiff_t>(m_first));
    m_tags.erase(m_tags.begin(), m_tags.begin() + static_cast<ptrdiff_t>(m_first));
    m_first = 0;
  }
}
