#include "playback/packet_queue.h"

#include <cstring>

namespace {
constexpr size_t kMaxSpare = 64;
}

void CPacketQueue::Push(int32_t kind, const void* data, int size) {
  if (data == nullptr || size <= 0) return;
  const auto* bytes = static_cast<const uint8_t*>(data);
  CSyncGuard guard(m_lock);
  Packet& packet = m_packets.emplace_back();
  packet.kind = kind;
  if (!m_spare.empty()) {
    packet.bytes.swap(m_spare.back());
    m_spare.pop_back();
  }
  packet.bytes.assign(bytes, bytes + size);
}

bool CPacketQueue::Pop(void* destination, int capacity, int* size, int32_t* kind) {
  CSyncGuard guard(m_lock);
  while (!m_packets.empty()) {
    Packet& packet = m_packets.front();
    const size_t length = packet.bytes.size();
    const bool fits = destination != nullptr && capacity >= 0 &&
                      length <= static_cast<size_t>(capacity);
    if (fits) {
      std::memcpy(destination, packet.bytes.data(), length);
      if (size) *size = static_cast<int>(length);
      if (kind) *kind = packet.kind;
    }
    if (m_spare.size() < kMaxSpare) m_spare.push_back(std::move(packet.bytes));
    m_packets.pop_front();
    if (fits) return true;
  }
  return false;
}

void CPacketQueue::Clear() {
  CSyncGuard guard(m_lock);
  while (!m_packets.empty()) {
    if (m_spare.size() < kMaxSpare) m_spare.push_back(std::move(m_packets.front().bytes));
    m_packets.pop_front();
  }
}

int CPacketQueue::Count() const {
  CSyncGuard guard(m_lock);
  return static_cast<int>(m_packets.size());
}

int32_t CPacketQueue::NextKind() const {
  CSyncGuard guard(m_lock);
  return m_packets.empty() ? -1 : m_packets.front().kind;
}
