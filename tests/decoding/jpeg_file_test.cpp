// JPEG files through libjpeg-turbo: the pixel layout, whole-or-nothing writes, names.
#include "decoding/jpeg_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::test::ReadAll;
using roadkeep::test::TempDir;
using roadkeep::test::WriteAll;

// B, G, R of the four quadrants: blue, green, red, white.
constexpr uint8_t kQuadrant[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

int QuadrantOf(int x, int y, int width, int height) {
  return (y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1);
}

// A BGRX picture with padded rows; the fourth byte and the padding hold noise.
std::vector<uint8_t> Quadrants(int width, int height, int stride) {
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height, 0x5A);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &pixels[static_cast<size_t>(y) * stride + x * 4];
      const uint8_t* colour = kQuadrant[QuadrantOf(x, y, width, height)];
      p[0] = colour[0];
      p[1] = colour[1];
      p[2] = colour[2];
      p[3] = static_cast<uint8_t>(x * 7 + y);
    }
  }
  return pixels;
}

// No temporary file is left beside the target.
bool OnlyFiles(const fs::path& dir, std::vector<std::string> names) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir)) found.push_back(entry.path().filename());
  std::sort(found.begin(), found.end());
  std::sort(names.begin(), names.end());
  return found == names;
}

TEST(JpegFile, PaddedBgrxPicturesOfOddSizesComeBackWithTheirColoursInPlace) {
  TempDir dir;
  for (const auto& [width, height] : {std::pair{37, 23}, std::pair{1, 1}, std::pair{640, 360}}) {
    const int stride = width * 4 + 12;
    const std::vector<uint8_t> pixels = Quadrants(width, height, stride);
    const std::string path = dir.File("q.jpg");
    ASSERT_TRUE(WriteJpegFile(path.c_str(), pixels.data(), width, height, stride)) << width;
    JpegPicture back;
    ASSERT_TRUE(ReadJpegFile(path.c_str(), &back));
    ASSERT_EQ(back.width, width);
    ASSERT_EQ(back.height, height);
    EXPECT_EQ(back.components, 3);
    // Away from the quadrant borders (where JPEG blurs), each pixel keeps its colour.
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (width > 8 && (std::abs(x - width / 2) < 8 || std::abs(y - height / 2) < 8)) continue;
        const uint8_t* p = &back.bgrx[(static_cast<size_t>(y) * width + x) * 4];
        const uint8_t* want = kQuadrant[QuadrantOf(x, y, width, height)];
        for (int c = 0; c < 3; ++c) wrong += std::abs(p[c] - want[c]) > 24;
        wrong += p[3] != 0xFF;
      }
    }
    EXPECT_EQ(wrong, 0) << width << "x" << height;
  }
  EXPECT_TRUE(OnlyFiles(dir.Path(), {"q.jpg"}));
}

TEST(JpegFile, AFailedWriteLeavesNoFileAndKeepsAnOlderOneWhole) {
  TempDir dir;
  const std::vector<uint8_t> pixels = Quadrants(16, 16, 64);
  // The target is a folder: the rename fails after the bytes were written.
  fs::create_directory(dir.File("taken.jpg"));
  EXPECT_FALSE(WriteJpegFile(dir.File("taken.jpg").c_str(), pixels.data(), 16, 16, 64));
  EXPECT_FALSE(WriteJpegFile(dir.File("no/such/folder.jpg").c_str(), pixels.data(), 16, 16, 64));
  EXPECT_TRUE(OnlyFiles(dir.Path(), {"taken.jpg"})) << "a temporary file was left behind";

  // Bad arguments write nothing, also not over an existing file.
  const std::string old = dir.File("old.jpg");
  WriteAll(old, {1, 2, 3});
  struct Bad {
    const uint8_t* data;
    int width, height, stride, quality;
  } const bad[] = {
      {nullptr, 16, 16, 64, 95},
      {pixels.data(), 0, 16, 64, 95},
      {pixels.data(), 16, -1, 64, 95},
      {pixels.data(), 16, 16, 63, 95},
      {pixels.data(), 16, 16, 64, 0},
      {pixels.data(), 16, 16, 64, 101},
      {pixels.data(), 70000, 1, 280000, 95},
  };
  for (const Bad& b : bad) {
    EXPECT_FALSE(WriteJpegFile(old.c_str(), b.data, b.width, b.height, b.stride, b.quality))
        << b.width << "x" << b.height << " stride " << b.stride << " quality " << b.quality;
  }
  EXPECT_EQ(ReadAll(old), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(WriteJpegFile(nullptr, pixels.data(), 16, 16, 64));
}

// A write cut off between its temporary file and the rename (a card pulled, the viewer killed)
// leaves a hidden part that nobody holds; the next write in that folder removes it, and only it.
TEST(JpegFile, AWriteRemovesThePartsOfEarlierWritesThatDied) {
  const struct {
    const char* name;
    bool removed;
  } cases[] = {
      {".rk-snapshot-AbCdEfGhIj.part", true},
      {".rk-export-AbCdEfGhIj.part", false},
      {"snap_front.jpg.part", false},
  };
  TempDir dir;
  for (const auto& c : cases) WriteAll(dir.File(c.name), {1});
  const std::vector<uint8_t> pixels = Quadrants(8, 8, 32);
  ASSERT_TRUE(WriteJpegFile(dir.File("new.jpg").c_str(), pixels.data(), 8, 8, 32));
  for (const auto& c : cases) EXPECT_EQ(fs::exists(dir.File(c.name)), !c.removed) << c.name;
}

TEST(JpegFile, OnlyJpegExtensionsCountAsJpegNames) {
  for (const char* name : {"a.jpg", "b.JPG", "c.jpeg", "d.Jpe", "/x/pic._front.jpg"}) {
    EXPECT_TRUE(IsJpegName(name)) << name;
  }
  for (const char* name : {"e.png", "f", "dir.jpg/file", ".jpgx", "g.jpg.bak", ""}) {
    EXPECT_FALSE(IsJpegName(name)) << name;
  }
  EXPECT_FALSE(IsJpegName(nullptr));
}

}  // namespace
