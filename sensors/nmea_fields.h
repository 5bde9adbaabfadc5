// Field splitting and number reading for NMEA sentences from the card's text stream. The
// text is untrusted: every read stays inside the work buffer.
#pragma once

#include <cstddef>

namespace roadkeep::sensors {

// Splits a copy of a sentence at commas. The first field starts after any leading commas;
// each later field starts right after the comma that ended the previous one, so adjacent
// commas give empty fields. Text beyond kMaxText characters is cut.
class CNmeaFields {
 public:
  static constexpr size_t kMaxText = 1023;

  // text: zero-terminated, or null (no fields).
  explicit CNmeaFields(const char* text);
  CNmeaFields(const CNmeaFields&) = delete;
  CNmeaFields& operator=(const CNmeaFields&) = delete;

  // The next field (zero-terminated, valid while this object lives), or null when the last
  // field has been taken.
  const char* Next();

 private:
  char m_buffer[kMaxText + 1];
  size_t m_length = 0;
  size_t m_position = 0;
  bool m_done = false;
};

// The two characters at offset of field as a decimal number: leading digits only; a group
// that is empty, not numeric or past the field's end reads 0.
int TwoDigitGroup(const char* field, size_t offset);

// Decimal text ([+-]digits[.digits], leading blanks allowed) as a double; anything that is
// not a finite decimal number reads 0.
double DecimalField(const char* field);

}  // namespace roadkeep::sensors
