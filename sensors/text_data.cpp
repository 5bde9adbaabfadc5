#include "sensors/text_data.h"

#include <cstring>

namespace {

bool IsRmc(const char* text, int length) {
  static constexpr char kRmc[] = "GPRMC";
  if (length < 7) return false;
  return text[0] == 'G' && std::memcmp(text + 2, kRmc, 5) == 0;
}

}  // namespace

void CTextData::OnTextData(const char* text, int length, int playbackMs) {
  if (text == nullptr || length < 1) return;
  if (IsRmc(text, length)) {
    // The sentence ends at the first zero within length, so a chunk that lacks its
    // terminator is still read no further than length.
    std::vector<char> sentence(text, text + length);
    sentence.push_back('\0');
    const CGPSData record(sentence.data(), 0);
    if (!record.IsValid()) return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_gps.push_back(record);
    return;
  }
  if (text[0] == 'M' && length >= 4) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    std::lock_guard<std::mutex> guard(m_lock);
    if (static_cast<int64_t>(m_gsensor.size()) < playbackMs / 1000) {
      m_gsensor.emplace_back(bytes[1], bytes[2], bytes[3], 0);
    }
  }
}

void CTextData::TextCallback(void* user, const char* data, int size, int timeMs) {
  if (user != nullptr) static_cast<CTextData*>(user)->OnTextData(data, size, timeMs);
}

void CTextData::Clear() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_gsensor.clear();
  m_gps.clear();
}

bool CTextData::LastGps(CGPSData* out) const {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_gps.empty()) return false;
  if (out != nullptr) *out = m_gps.back();
  return true;
}

int CTextData::GpsCount() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return static_cast<int>(m_gps.size());
}

int CTextData::GSensorCount() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return static_cast<int>(m_gsensor.size());
}

std::vector<CGSensorData> CTextData::GSensorSamples() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_gsensor;
}

std::vector<CGPSData> CTextData::GpsRecords() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_gps;
}
