#include "sensors/nmea_fields.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace roadkeep::sensors {

CNmeaFields::CNmeaFields(const char* text) {
  if (text == nullptr) {
    m_buffer[0] = '\0';
    m_done = true;
    return;
  }
  m_length = strnlen(text, kMaxText);
  std::memcpy(m_buffer, text, m_length);
  m_buffer[m_length] = '\0';
  while (m_position < m_length && m_buffer[m_position] == ',') ++m_position;
}

const char* CNmeaFields::Next() {
  if (m_done) return nullptr;
  char* field = m_buffer + m_position;
  char* comma = static_cast<char*>(std::memchr(field, ',', m_length - m_position));
  if (comma == nullptr) {
    m_done = true;  // the last field runs to the end of the text
    m_position = m_length;
    return field;
  }
  *comma = '\0';
  m_position = static_cast<size_t>(comma - m_buffer) + 1;
  return field;
}

int TwoDigitGroup(const char* field, size_t offset) {
  if (field == nullptr || strnlen(field, offset + 1) <= offset) return 0;
  int value = 0;
  for (size_t i = offset; i < offset + 2 && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
  }
  return value;
}

double DecimalField(const char* field) {
  if (field == nullptr) return 0;
  while (*field == ' ' || *field == '\t') ++field;
  bool negative = false;
  if (*field == '+' || *field == '-') negative = *field++ == '-';
  if (*field != '.' && (*field < '0' || *field > '9')) return 0;  // no "inf", "nan", signs
  double value = 0;
  const auto result =
      std::from_chars(field, field + std::strlen(field), value, std::chars_format::fixed);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0;
  return negative ? -value : value;
}

}  // namespace roadkeep::sensors
