#include "app/pane_states.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// Printed as front/rear/map, the order of the constructor below.
void PrintTo(const PaneStates& s, std::ostream* out) {
  *out << "front " << s.front << " rear " << s.rear << " map " << s.map;
}

namespace {

constexpr int H = kPaneHidden, M = kPaneMain, S = kPaneSmall;

PaneStates P(int front, int rear, int map) { return PaneStates{front, rear, map}; }

enum class Op { kSwap, kSmallMap, kSmallCamera, kMapButton };

const char* Name(Op op) {
  switch (op) {
    case Op::kSwap:
      return "swap (1097/1098)";
    case Op::kSmallMap:
      return "small-pane map (1099)";
    case Op::kSmallCamera:
      return "small-pane camera (1100)";
    case Op::kMapButton:
      return "map button (1101)";
  }
  return "?";
}

PaneStates Apply(Op op, PaneStates s, int cameras) {
  switch (op) {
    case Op::kSwap:
      return SwapCameras(s, cameras);
    case Op::kSmallMap:
      return SmallPaneMap(s, cameras);
    case Op::kSmallCamera:
      return SmallPaneCamera(s, cameras);
    case Op::kMapButton:
      return MapButton(s, cameras);
  }
  return s;
}

struct Step {
  Op op;
  PaneStates after;
};

struct PaneCase {
  const char* name;
  int cameras;
  PaneStates start;
  std::vector<Step> steps;  // applied in order, each from the result of the one before
};

TEST(PaneStates, ButtonsFollowTheRuleTables) {
  const PaneCase cases[] = {
      // Swap: the first condition that holds for the map's state.
      {"swap, map hidden, front main", 2, P(M, S, H), {{Op::kSwap, P(S, M, H)}}},
      {"swap, map hidden, front small", 2, P(S, M, H), {{Op::kSwap, P(M, S, H)}}},
      {"swap, map main, front small", 2, P(S, H, M), {{Op::kSwap, P(H, S, M)}}},
      {"swap, map main, rear small", 2, P(H, S, M), {{Op::kSwap, P(S, H, M)}}},
      {"swap, map small, front main", 2, P(M, H, S), {{Op::kSwap, P(H, M, S)}}},
      {"swap, map small, rear main", 2, P(H, M, S), {{Op::kSwap, P(M, H, S)}}},
      {"swap, nothing open", 2, P(H, H, H), {{Op::kSwap, P(H, H, H)}}},
      {"swap, map main alone", 2, P(H, H, M), {{Op::kSwap, P(H, H, M)}}},
      {"swap, map small alone", 2, P(H, H, S), {{Op::kSwap, P(H, H, S)}}},
      {"swap, one camera", 1, P(M, H, H), {{Op::kSwap, P(M, H, H)}}},
      {"swap, one camera, map main", 1, P(S, H, M), {{Op::kSwap, P(S, H, M)}}},

      // Box 1099: the map into the small pane (or, with the map main, the rear camera).
      {"1099, front main rear small", 2, P(M, S, H), {{Op::kSmallMap, P(M, H, S)}}},
      {"1099, front small rear main", 2, P(S, M, H), {{Op::kSmallMap, P(H, M, S)}}},
      {"1099, map main front small", 2, P(S, H, M), {{Op::kSmallMap, P(H, S, M)}}},
      {"1099, map main rear small", 2, P(H, S, M), {{Op::kSmallMap, P(H, S, M)}}},
      {"1099, map already small", 2, P(M, H, S), {{Op::kSmallMap, P(M, H, S)}}},
      {"1099, one camera", 1, P(M, H, H), {{Op::kSmallMap, P(M, H, H)}}},
      {"1099, one camera, map main", 1, P(S, H, M), {{Op::kSmallMap, P(S, H, M)}}},

      // Box 1100: the other camera into the small pane; the map hidden in every case.
      {"1100, map main", 2, P(S, H, M), {{Op::kSmallCamera, P(M, S, H)}}},
      {"1100, map main rear small", 2, P(H, S, M), {{Op::kSmallCamera, P(M, S, H)}}},
      {"1100, front main map small", 2, P(M, H, S), {{Op::kSmallCamera, P(M, S, H)}}},
      {"1100, rear main map small", 2, P(H, M, S), {{Op::kSmallCamera, P(S, M, H)}}},
      {"1100, cameras already in both", 2, P(M, S, H), {{Op::kSmallCamera, P(M, S, H)}}},
      {"1100, nothing open", 2, P(H, H, H), {{Op::kSmallCamera, P(H, H, H)}}},
      {"1100, one camera", 1, P(M, H, S), {{Op::kSmallCamera, P(M, H, S)}}},

      // Button 1101: the map trades places with the camera of the main pane.
      {"1101, map main, front small", 2, P(S, H, M), {{Op::kMapButton, P(M, H, S)}}},
      {"1101, map main, rear small", 2, P(H, S, M), {{Op::kMapButton, P(H, M, S)}}},
      {"1101, map main alone", 2, P(H, H, M), {{Op::kMapButton, P(H, H, S)}}},
      {"1101, front main rear small", 2, P(M, S, H), {{Op::kMapButton, P(S, H, M)}}},
      {"1101, rear main front small", 2, P(S, M, H), {{Op::kMapButton, P(H, S, M)}}},
      {"1101, front main map small", 2, P(M, H, S), {{Op::kMapButton, P(S, H, M)}}},
      {"1101, rear main map small", 2, P(H, M, S), {{Op::kMapButton, P(H, S, M)}}},
      {"1101, nothing open", 2, P(H, H, H), {{Op::kMapButton, P(H, H, M)}}},
      {"1101, one camera, map main", 1, P(S, H, M), {{Op::kMapButton, P(M, H, S)}}},
      {"1101, one camera, map hidden", 1, P(M, H, H), {{Op::kMapButton, P(S, H, M)}}},
      {"1101, one camera, map small", 1, P(M, H, S), {{Op::kMapButton, P(S, H, M)}}},

      // A two-camera recording just opened: swap, then 1099, then 1100.
      {"two cameras: swap, 1099, 1100",
       2,
       P(M, S, H),
       {{Op::kSwap, P(S, M, H)}, {Op::kSmallMap, P(H, M, S)}, {Op::kSmallCamera, P(S, M, H)}}},
      // One camera: the map button alternates map main / video main.
      {"one camera: 1101 alternates",
       1,
       P(M, H, H),
       {{Op::kMapButton, P(S, H, M)},
        {Op::kMapButton, P(M, H, S)},
        {Op::kMapButton, P(S, H, M)},
        {Op::kMapButton, P(M, H, S)}}},
      // Two cameras: the map button goes round, the other camera staying hidden.
      {"two cameras: 1101 twice, then 1100",
       2,
       P(M, S, H),
       {{Op::kMapButton, P(S, H, M)},
        {Op::kMapButton, P(M, H, S)},
        {Op::kSmallCamera, P(M, S, H)}}},
  };
  for (const PaneCase& c : cases) {
    PaneStates s = c.start;
    int index = 0;
    for (const Step& step : c.steps) {
      s = Apply(step.op, s, c.cameras);
      EXPECT_EQ(s, step.after) << c.name << ", step " << index << ": " << Name(step.op);
      // At most one view in each pane.
      const int mains = (s.front == M) + (s.rear == M) + (s.map == M);
      const int smalls = (s.front == S) + (s.rear == S) + (s.map == S);
      EXPECT_LE(mains, 1) << c.name << ", step " << index;
      EXPECT_LE(smalls, 1) << c.name << ", step " << index;
      ++index;
    }
  }
}

// Expected values worked by hand from the rules: VH = H - 170, VW = trunc(VH * 1.7); when
// VW > W then VW = W - 20, VH = trunc(VW * 0.56); each down to a multiple of 4 toward zero;
// x = (W - VW) / 2, y = (H - VH - 140) / 2 + 29, truncated, then to a multiple of 4.
TEST(PaneStates, FullScreenAreaFollowsTheFormula) {
  const struct {
    int width, height;
    QRect expected;
  } cases[] = {
      {1280, 1024, {8, 116, 1260, 704}},  // the worked examples
      {1920, 1080, {188, 44, 1544, 908}},
      {2560, 1440, {320, 136, 1920, 1080}},
      {1920, 1248, {0, 40, 1920, 1080}},   // the fixed size from 1920 x 1248 up
      {1920, 1247, {44, 44, 1828, 1076}},  // one line short: the formula again
      {1919, 1248, {40, 44, 1832, 1076}},
      {975, 635, {92, 44, 788, 464}},  // the window's own size
      {800, 600, {36, 44, 728, 428}},
      {1024, 768, {4, 44, 1016, 596}},  // too wide for the width: W - 20, x 0.56
      {20, 300, {8, 108, 0, 0}},
      {100, 100, {108, 40, -116, -68}},  // negative sizes move toward zero
      {1, 1, {140, 40, -284, -168}},     // -287.3 truncates to -287, not -288
      {0, 0, {144, 40, -288, -168}},
  };
  for (const auto& c : cases) {
    const QRect area = ComputeFullScreenArea(c.width, c.height);
    EXPECT_EQ(area.x(), c.expected.x()) << c.width << "x" << c.height;
    EXPECT_EQ(area.y(), c.expected.y()) << c.width << "x" << c.height;
    EXPECT_EQ(area.width(), c.expected.width()) << c.width << "x" << c.height;
    EXPECT_EQ(area.height(), c.expected.height()) << c.width << "x" << c.height;
    for (int v : {area.x(), area.y(), area.width(), area.height()}) {
      EXPECT_EQ(v % 4, 0) << c.width << "x" << c.height;
    }
  }
}

}  // namespace
