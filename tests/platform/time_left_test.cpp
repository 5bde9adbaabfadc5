// The time left of a long job from its rate so far.
#include "platform/time_left.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeLeft, FromTheRateSoFarOnceItCanBeTold) {
  const struct {
    double elapsed, done;
    const char* left;
  } cases[] = {
      {0.4, 0.5, ""},         // too soon to tell
      {10, 0, ""},            // nothing done yet
      {10, 1, ""},            // done
      {10, 0.5, "0:10"},      {10, 0.25, "0:30"}, {59.6, 0.5, "1:00"},
      {3600, 0.5, "1:00:00"}, {1, 0.0001, "2:46:39"},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeLeftText(c.elapsed, c.done), c.left) << c.elapsed << " " << c.done;
}

}  // namespace
