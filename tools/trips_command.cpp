// trips: a card's recordings grouped into journeys, one line a trip, oldest first, with the
// distance from GPS. It needs the card store and the sentence parser alone, so it runs in the
// lean front of roadkeep-tool (tool_front.cpp).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/safe_text.h"
#include "sensors/track_distance.h"
#include "tat/card.h"
#include "tat/store_format.h"
#include "tat/tat_library.h"
#include "tat/trips.h"
#include "tools/commands.h"

using namespace roadkeep::tat;

using roadkeep::platform::TerminalText;

namespace {

constexpr char kUsage[] = "usage: roadkeep-tool trips DIR [--gap S]\n";

int Fail(const std::string& why) {
  std::fprintf(stderr, "roadkeep-tool: %s\n", TerminalText(why).c_str());
  return 1;
}

// strftime of seconds by the recorder's clock (read as UTC, as the card maker writes it);
// dashes for a time that cannot be known, as for an unknown distance.
std::string ClockText(int64_t seconds, const char* format, const char* unknown) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  char text[32];
  if (seconds < 0 || gmtime_r(&t, &tm) == nullptr ||
      std::strftime(text, sizeof text, format, &tm) == 0) {
    return unknown;
  }
  return text;
}

void PrintTrip(size_t number, const Trip& trip) {
  const std::string start = ClockText(trip.start, "%Y-%m-%d %H:%M:%S", "---------- --:--:--");
  const std::string end = ClockText(trip.end, "%H:%M:%S", "--:--:--");
  char distance[32] = "-";
  if (trip.distanceKm >= 0) std::snprintf(distance, sizeof distance, "%.1f", trip.distanceKm);
  std::printf("trip %zu  %s  %s  %lld s  %zu recordings  %s km  %d events\n", number, start.c_str(),
              end.c_str(), static_cast<long long>(trip.lengthMs / 1000), trip.recordings.size(),
              distance, trip.events);
}

}  // namespace

int TripsCommand(int argc, char** argv) {
  std::string dir;
  int gap = kDefaultTripGapSeconds;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--gap" && i + 1 < argc) {
      char* end = nullptr;
      errno = 0;
      const long value = std::strtol(argv[++i], &end, 10);
      if (end == argv[i] || *end != '\0' || errno != 0 || value < 0 || value > 1000000000) {
        return Fail(std::string("trips: bad gap '") + argv[i] + "'");
      }
      gap = static_cast<int>(value);
    } else if (dir.empty() && arg.rfind("--", 0) != 0) {
      dir = arg;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (dir.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string problem;
  TatHandle* handle = OpenCardAt(dir, &problem);
  if (handle == nullptr) return Fail(problem);
  const std::shared_ptr<CCard> card = TatCurrentCard(handle);
  int unreadable = 0;
  for (int kind = 0; kind < kKindCount; ++kind) {
    if (card->Refresh(kind) < 0) {
      const auto path = std::filesystem::path(dir) / kStoreFolder / StoreFileName(kind);
      std::fprintf(stderr, "roadkeep-tool: cannot read %s: %s\n", path.c_str(),
                   StoreErrorText(card->StoreError(kind)).c_str());
      ++unreadable;
    }
  }
  std::vector<Trip> trips = CardTrips(handle, gap);  // the kinds that could be read
  roadkeep::sensors::FillTripDistances(*card, &trips);
  for (size_t i = 0; i < trips.size(); ++i) PrintTrip(i + 1, trips[i]);
  TatRelease(handle);
  return unreadable == 0 ? 0 : 1;
}
