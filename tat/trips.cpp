#include "tat/trips.h"

#include <algorithm>
#include <string>
#include <tuple>

namespace roadkeep::tat {
namespace {

constexpr int kFirstYear = 2000, kLastYear = 2100;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (month 1..12).
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The number in text[0..count), all digits; -1 otherwise.
int Digits(const char* text, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "YYYYMMDD_HHMMSS" after the name's first '_', not followed by another digit; -1 when the
// name has no such date or it is not a real one.
int64_t NameStart(const std::string& name) {
  const size_t underscore = name.find('_');
  if (underscore == std::string::npos || name.size() - underscore - 1 < 15) return -1;
  const char* text = name.c_str() + underscore + 1;
  if (text[8] != '_' || (text[15] >= '0' && text[15] <= '9')) return -1;
  const int year = Digits(text, 4), month = Digits(text + 4, 2), day = Digits(text + 6, 2);
  const int hour = Digits(text + 9, 2), minute = Digits(text + 11, 2),
            second = Digits(text + 13, 2);
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    return -1;
  }
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace

int64_t RecordingStart(const Recording& recording) {
  static const int64_t kFirst = DaysFromCivil(kFirstYear, 1, 1) * 86400;
  static const int64_t kAfterLast = DaysFromCivil(kLastYear + 1, 1, 1) * 86400;
  const int64_t header = recording.startTime;
  if (header >= kFirst && header < kAfterLast) return header;
  return NameStart(recording.name);
}

int64_t Trip::OffsetMs(size_t i) const {
  int64_t offset = 0;
  for (size_t k = 0; k < i && k < recordings.size(); ++k) offset += recordings[k].durationMs;
  return offset;
}

size_t Trip::RecordingAt(int64_t ms, int64_t* withinMs) const {
  ms = std::clamp<int64_t>(ms, 0, lengthMs);
  int64_t offset = 0;
  size_t last = 0;  // the last recording with a length, where the end of the trip lies
  for (size_t i = 0; i < recordings.size(); ++i) {
    const int64_t length = recordings[i].durationMs;
    if (length == 0) continue;
    if (ms < offset + length) {
      if (withinMs) *withinMs = ms - offset;
      return i;
    }
    offset += length;
    last = i;
  }
  if (withinMs) *withinMs = recordings.empty() ? 0 : recordings[last].durationMs;
  return last;
}

std::vector<Trip> BuildTrips(std::vector<Recording> recordings, int gapSeconds) {
  const int64_t gap = std::max(gapSeconds, 0);
  // Sorted by key (the recordings themselves are moved only once, into their trips).
  struct Key {
    int64_t start;
    int kind, index;
    size_t at;
    auto Order() const { return std::make_tuple(start < 0, start, kind, index, at); }
  };
  std::vector<Key> keys;
  keys.reserve(recordings.size());
  for (size_t i = 0; i < recordings.size(); ++i) {
    keys.push_back({RecordingStart(recordings[i]), recordings[i].kindCode, recordings[i].index, i});
  }
  std::sort(keys.begin(), keys.end(),
            [](const Key& a, const Key& b) { return a.Order() < b.Order(); });

  std::vector<Trip> trips;
  for (const Key& key : keys) {
    Recording& r = recordings[key.at];
    const bool known = key.start >= 0;
    const int64_t end = known ? key.start + (int64_t{r.durationMs} + 999) / 1000 : -1;
    const bool joins =
        known && !trips.empty() && trips.back().start >= 0 && key.start - trips.back().end <= gap;
    if (!joins) {
      trips.emplace_back();
      trips.back().start = key.start;
      trips.back().end = end;
    }
    Trip& trip = trips.back();
    trip.end = std::max(trip.end, end);
    trip.lengthMs += r.durationMs;
    if (r.kindCode == kKindEvent || r.kindCode == kKindManual) ++trip.events;
    trip.recordings.push_back(std::move(r));
  }
  return trips;
}

}  // namespace roadkeep::tat
