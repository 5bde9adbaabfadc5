// CDecoder on real H.264 made by the ffmpeg tool, against ffmpeg's own decode and scale.
#include "decoding/decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>
#include <thread>
#include <utility>

#include "decoding/jpeg_file.h"
#include "platform/video_surface.h"
#include "tests/decoding/h264_test_util.h"

namespace {

// A JPEG file as 8-bit BGR, empty when it cannot be read or is not a 3-component file.
cv::Mat ReadJpeg(const std::string& path) {
  JpegPicture picture;
  if (!ReadJpegFile(path.c_str(), &picture) || picture.components != 3) return {};
  const cv::Mat bgrx(picture.height, picture.width, CV_8UC4, picture.bgrx.data());
  cv::Mat bgr(bgrx.size(), CV_8UC3);
  const int pairs[] = {0, 0, 1, 1, 2, 2};
  cv::mixChannels(&bgrx, 1, &bgr, 1, pairs, 3);
  return bgr;
}

using roadkeep::test::ColourChannels;
using roadkeep::test::H264Stream;
using roadkeep::test::IsOpaqueBgra;
using roadkeep::test::MakeH264;
using roadkeep::test::ReadAll;
using roadkeep::test::ReferenceFrames;
using roadkeep::test::TempDir;

// Decodes every unit into surface, keeping each frame shown (each is a fresh image).
std::vector<cv::Mat> ShowAll(CDecoder& decoder, int index, CHeadlessSurface& surface,
                             const H264Stream& stream) {
  std::vector<cv::Mat> shown;
  for (const auto& unit : stream.units) {
    EXPECT_TRUE(
        decoder.DecodeAndShow(index, &surface, unit.data(), static_cast<int>(unit.size()), true));
    shown.push_back(surface.LastFrame());
  }
  return shown;
}

// PSNR of a shown frame's colour channels against a BGR reference (1000 when identical);
// 0 unless the frame is opaque BGRA of the reference's size.
double Psnr(const cv::Mat& shown, const cv::Mat& want) {
  EXPECT_TRUE(IsOpaqueBgra(shown)) << "type " << shown.type();
  EXPECT_EQ(shown.size(), want.size());
  if (!IsOpaqueBgra(shown) || shown.size() != want.size()) return 0;
  const cv::Mat colour = ColourChannels(shown);
  return cv::norm(colour, want) == 0 ? 1000.0 : cv::PSNR(colour, want);
}

double MinPsnr(const std::vector<cv::Mat>& got, const std::vector<cv::Mat>& want) {
  EXPECT_EQ(got.size(), want.size());
  double worst = 1000;
  for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
    worst = std::min(worst, Psnr(got[i], want[i]));
  }
  return worst;
}

// Every pixel is B, G, R, A = 0, 0, 0, 0xFF.
bool OpaqueBlack(const cv::Mat& image) {
  if (image.empty() || image.type() != CV_8UC4) return false;
  const cv::Mat black(image.size(), CV_8UC4, cv::Scalar(0, 0, 0, 255));
  return cv::norm(image, black, cv::NORM_INF) == 0;
}

// The lowest and highest value of one channel of image.
std::pair<double, double> ChannelRange(const cv::Mat& image, int channel) {
  cv::Mat plane;
  cv::extractChannel(image, plane, channel);
  double low = 0, high = 0;
  cv::minMaxLoc(plane, &low, &high);
  return {low, high};
}

TEST(Decoder, ShownFramesAreOpaqueBgraMatchingFfmpegDecodeWithFastBilinearScale) {
  TempDir dir;
  struct Case {
    int srcW, srcH, outW, outH;
  };
  const Case cases[] = {{1280, 720, 640, 360},  // rear camera into a small pane
                        {1920, 1080, 640, 360},
                        {640, 360, 640, 360},  // same size: conversion only
                        {1280, 720, 1001, 563},
                        {320, 240, 161, 97}};  // odd sizes
  for (const Case& c : cases) {
    const H264Stream stream = MakeH264(dir, c.srcW, c.srcH, 6);
    ASSERT_EQ(stream.units.size(), 6u);
    CDecoder decoder;
    decoder.OpenCodecs();
    CHeadlessSurface surface(c.outW, c.outH);
    const auto shown = ShowAll(decoder, 0, surface, stream);
    const double psnr = MinPsnr(shown, ReferenceFrames(stream, c.outW, c.outH));
    std::cout << c.srcW << "x" << c.srcH << " -> " << c.outW << "x" << c.outH << ": min PSNR "
              << (psnr >= 1000 ? std::string("inf (identical)") : std::to_string(psnr)) << "\n";
    EXPECT_GE(psnr, 40.0);
    EXPECT_EQ(surface.FrameCount(), 6);
  }
}

TEST(Decoder, FrameBytesAreBlueGreenRedThenOpaqueAlphaAndJpegKeepsTheColour) {
  TempDir dir;
  const H264Stream red =
      MakeH264(dir, 320, 240, 1, 12, "testsrc", "-vf drawbox=w=iw:h=ih:color=red:t=fill");
  ASSERT_EQ(red.units.size(), 1u);
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(200, 150);
  ShowAll(decoder, 0, surface, red);
  const cv::Mat frame = surface.LastFrame();
  ASSERT_TRUE(IsOpaqueBgra(frame));
  EXPECT_LE(ChannelRange(frame, 0).second, 8) << "blue byte first";
  EXPECT_LE(ChannelRange(frame, 1).second, 8);
  EXPECT_GE(ChannelRange(frame, 2).first, 245) << "red byte third";

  // Brightness, contrast and every flip keep the alpha bytes.
  decoder.SetBrightness(0, -4);
  decoder.SetContrast(0, 6);
  for (int mode : {0, 1, 2, 3}) {
    decoder.SetFlipMode(0, mode);
    ASSERT_TRUE(decoder.RedrawFrame(0, &surface));
    EXPECT_TRUE(IsOpaqueBgra(surface.LastFrame())) << "mode " << mode;
  }

  // The snapshot is a 3-component JPEG with the colour in the right place.
  decoder.SetBrightness(0, 0);
  decoder.SetContrast(0, 0);
  const std::string path = dir.File("red.jpg");
  ASSERT_TRUE(decoder.SaveFrame(0, path.c_str()));
  const cv::Mat saved = ReadJpeg(path);
  ASSERT_EQ(saved.type(), CV_8UC3);
  const cv::Scalar mean = cv::mean(saved);
  EXPECT_LT(mean[0], 10);
  EXPECT_LT(mean[1], 10);
  EXPECT_GT(mean[2], 240);
}

TEST(Decoder, ConvertToKeepsRowPaddingAndRefusesRowsTooShortForFourBytesAPixel) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 320, 240, 1);
  ASSERT_EQ(stream.units.size(), 1u);
  CFFMH264_Decoder codec;
  ASSERT_TRUE(codec.OpenCodec());
  const auto& key = stream.units[0];
  ASSERT_TRUE(codec.Decode(key.data(), static_cast<int>(key.size())));
  const int width = 101, height = 75, stride = width * 4 + 12;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height, 0x5A);
  EXPECT_FALSE(codec.ConvertTo(pixels.data(), width * 3, width, height));
  EXPECT_FALSE(codec.ConvertTo(pixels.data(), width * 4 - 1, width, height));
  EXPECT_FALSE(codec.ConvertTo(pixels.data(), -stride, width, height));
  EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint8_t b) { return b == 0x5A; }));

  ASSERT_TRUE(codec.ConvertTo(pixels.data(), stride, width, height));
  const cv::Mat image(height, width, CV_8UC4, pixels.data(), static_cast<size_t>(stride));
  EXPECT_GE(Psnr(image, ReferenceFrames(stream, width, height)[0]), 40.0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* pad = pixels.data() + static_cast<size_t>(y) * stride + width * 4;
    ASSERT_TRUE(std::all_of(pad, pad + 12, [](uint8_t b) { return b == 0x5A; })) << "row " << y;
  }
}

TEST(Decoder, CamerasKeepTheirOwnContexts) {
  TempDir dir;
  const H264Stream front = MakeH264(dir, 640, 360, 8);
  const H264Stream rear = MakeH264(dir, 320, 240, 8, 12, "testsrc2");
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface frontPane(480, 270), rearPane(200, 150);
  std::vector<cv::Mat> frontShown, rearShown;
  for (size_t i = 0; i < 8; ++i) {  // interleaved, as the player feeds them
    const auto& f = front.units[i];
    const auto& r = rear.units[i];
    decoder.DecodeAndShow(0, &frontPane, f.data(), static_cast<int>(f.size()), true);
    frontShown.push_back(frontPane.LastFrame());
    decoder.DecodeAndShow(1, &rearPane, r.data(), static_cast<int>(r.size()), true);
    rearShown.push_back(rearPane.LastFrame());
  }
  EXPECT_GE(MinPsnr(frontShown, ReferenceFrames(front, 480, 270)), 40.0);
  EXPECT_GE(MinPsnr(rearShown, ReferenceFrames(rear, 200, 150)), 40.0);
}

TEST(Decoder, PictureSizeChangeInTheStreamIsScaledFromTheNewSize) {
  TempDir dir;
  const H264Stream small = MakeH264(dir, 320, 240, 4);
  const H264Stream large = MakeH264(dir, 640, 480, 4);
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(300, 200);
  ShowAll(decoder, 0, surface, small);
  const auto shown = ShowAll(decoder, 0, surface, large);
  EXPECT_GE(MinPsnr(shown, ReferenceFrames(large, 300, 200)), 40.0);
}

TEST(Decoder, ContrastAndBrightnessLevelsGiveTheirFactorsAndFixedPointValues) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 320, 240, 1);
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(160, 120);
  ShowAll(decoder, 0, surface, stream);
  struct Case {
    bool contrast;
    int level;
    float factor;
    int fixed;
  };
  const Case cases[] = {{true, -10, 0.01f, 655},    {true, 5, 1.5f, 98304},
                        {true, 20, 2.0f, 131072},   {true, 35, 2.0f, 131072},
                        {true, 0, 1.0f, 65536},     {false, 3, 0.3f, 19660},
                        {false, -5, -0.5f, -32768}, {false, 0, 0.0f, 0}};
  for (const Case& c : cases) {
    int brightness = 0, contrast = 0, saturation = 0;
    if (c.contrast) {
      decoder.SetContrast(0, c.level);
      EXPECT_FLOAT_EQ(decoder.ContrastFactor(0), c.factor) << c.level;
    } else {
      decoder.SetBrightness(0, c.level);
      EXPECT_FLOAT_EQ(decoder.BrightnessFactor(0), c.factor) << c.level;
    }
    ASSERT_TRUE(decoder.GetColourDetails(0, &brightness, &contrast, &saturation));
    EXPECT_EQ(c.contrast ? contrast : brightness, c.fixed) << c.level;
    EXPECT_EQ(saturation, 65536);
  }
  // An index out of range is clamped to the nearer camera.
  decoder.SetBrightness(7, 4);
  EXPECT_FLOAT_EQ(decoder.BrightnessFactor(1), 0.4f);
  EXPECT_FLOAT_EQ(decoder.BrightnessFactor(0), 0.0f);
}

TEST(Decoder, BrightnessAndContrastChangeThePictureShown) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 320, 240, 1);
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(320, 240);
  ShowAll(decoder, 0, surface, stream);
  cv::Scalar mean0, dev0, mean, dev;
  cv::meanStdDev(surface.LastFrame(), mean0, dev0);
  decoder.SetBrightness(0, 3);
  ASSERT_TRUE(decoder.RedrawFrame(0, &surface));
  cv::meanStdDev(surface.LastFrame(), mean, dev);
  EXPECT_GT(mean[1], mean0[1] + 10);
  EXPECT_TRUE(IsOpaqueBgra(surface.LastFrame()));
  decoder.SetBrightness(0, 0);
  decoder.SetContrast(0, -10);
  ASSERT_TRUE(decoder.RedrawFrame(0, &surface));
  cv::meanStdDev(surface.LastFrame(), mean, dev);
  EXPECT_LT(dev[1], dev0[1] / 10);
}

TEST(Decoder, EveryFlipModeOnAnAsymmetricPicture) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 320, 240, 1);
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(320, 240);
  ShowAll(decoder, 0, surface, stream);
  const cv::Mat plain = surface.LastFrame().clone();
  struct Case {
    int mode;
    int flipCode;  // 2: none
  };
  const Case cases[] = {{1, 0}, {2, -1}, {3, 1}, {0, 2}, {4, 2}, {-3, 2}};
  for (const Case& c : cases) {
    cv::Mat want = plain.clone();
    if (c.flipCode != 2) {
      cv::flip(plain, want, c.flipCode);
      ASSERT_GT(cv::norm(want, plain), 0) << "picture is symmetric for flip " << c.flipCode;
    }
    EXPECT_EQ(decoder.SetFlipMode(0, c.mode), c.mode);
    ASSERT_TRUE(decoder.RedrawFrame(0, &surface));
    EXPECT_EQ(cv::norm(surface.LastFrame(), want), 0) << "mode " << c.mode;
  }
  decoder.SetFlipMode(5, 3);
  decoder.SetFlipMode(-1, 1);
  EXPECT_EQ(decoder.FlipMode(1), 3);
  EXPECT_EQ(decoder.FlipMode(0), 1);
}

TEST(Decoder, SaveFrameWritesAJpegAtThePicturesOwnSize) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 640, 360, 2);
  CDecoder decoder;
  decoder.OpenCodecs();
  const std::string path = dir.File("shot_front.jpg");
  EXPECT_FALSE(decoder.SaveFrame(0, path.c_str()));
  EXPECT_FALSE(std::filesystem::exists(path));

  CHeadlessSurface surface(320, 180);
  decoder.SetFlipMode(0, 1);  // snapshots are never flipped
  ShowAll(decoder, 0, surface, stream);
  ASSERT_TRUE(decoder.SaveFrame(0, path.c_str()));
  const auto bytes = ReadAll(path);
  ASSERT_GE(bytes.size(), 3u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);
  const cv::Mat saved = ReadJpeg(path);
  ASSERT_EQ(saved.cols, 640);
  ASSERT_EQ(saved.rows, 360);
  ASSERT_EQ(saved.type(), CV_8UC3) << "three components in the file";
  EXPECT_GE(cv::PSNR(saved, ReferenceFrames(stream, 640, 360).back()), 30.0);  // JPEG loss

  decoder.SetBrightness(0, 3);
  const std::string brighter = dir.File("bright.jpg");
  ASSERT_TRUE(decoder.SaveFrame(0, brighter.c_str()));
  EXPECT_GT(cv::mean(ReadJpeg(brighter))[1], cv::mean(saved)[1] + 10);

  EXPECT_FALSE(decoder.SaveFrame(1, dir.File("rear.jpg").c_str()));  // no rear picture
  EXPECT_FALSE(decoder.SaveFrame(0, dir.File("shot.nosuchformat").c_str()));
  EXPECT_FALSE(decoder.SaveFrame(0, dir.File("missing/dir/x.jpg").c_str()));
  EXPECT_FALSE(decoder.SaveFrame(0, nullptr));
}

TEST(Decoder, JpegChunkNeverReachesTheCodec) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 320, 240, 1);
  // A valid key frame behind a JPEG marker: the codec would find and decode it.
  std::vector<uint8_t> chunk = {0xFF, 0xD8, 0xFF};
  chunk.insert(chunk.end(), stream.units[0].begin(), stream.units[0].end());
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(160, 120);
  EXPECT_TRUE(
      decoder.DecodeAndShow(0, &surface, chunk.data(), static_cast<int>(chunk.size()), true));
  EXPECT_EQ(surface.FrameCount(), 1);  // a fresh image is still shown
  EXPECT_TRUE(OpaqueBlack(surface.LastFrame()));
  EXPECT_FALSE(decoder.SaveFrame(0, dir.File("x.jpg").c_str()));
}

TEST(Decoder, IndexSurfaceAndShowRules) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 320, 240, 3);
  const auto& key = stream.units[0];
  const int size = static_cast<int>(key.size());
  const std::string shot = dir.File("s.jpg");
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(160, 120), hidden(0, 0);
  for (int bad : {-1, 2}) {
    EXPECT_FALSE(decoder.DecodeAndShow(bad, &surface, key.data(), size, true));
    EXPECT_FALSE(decoder.RedrawFrame(bad, &surface));
    EXPECT_EQ(decoder.Flush(bad), -1);
  }
  EXPECT_FALSE(decoder.DecodeAndShow(0, &hidden, key.data(), size, true));
  EXPECT_FALSE(decoder.SaveFrame(0, shot.c_str())) << "a hidden surface decodes nothing";
  EXPECT_FALSE(decoder.RedrawFrame(0, &hidden));

  EXPECT_FALSE(decoder.DecodeAndShow(1, nullptr, key.data(), size, true));
  EXPECT_TRUE(decoder.SaveFrame(1, shot.c_str())) << "no surface still decodes";

  EXPECT_TRUE(decoder.DecodeAndShow(0, &surface, key.data(), size, false));
  EXPECT_EQ(surface.FrameCount(), 0);
  EXPECT_TRUE(decoder.SaveFrame(0, shot.c_str()));

  // A redraw at a new size equals what decoding at that size shows.
  surface.SetSize(100, 80);
  ASSERT_TRUE(decoder.RedrawFrame(0, &surface));
  EXPECT_EQ(surface.LastFrame().size(), cv::Size(100, 80));
  EXPECT_GE(Psnr(surface.LastFrame(), ReferenceFrames(stream, 100, 80)[0]), 40.0);
  EXPECT_EQ(decoder.Flush(0), 0);
}

TEST(Decoder, FlushDropsPicturesAndDecodingResumesAtTheNextKeyFrame) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 320, 240, 16, 8);
  const auto reference = ReferenceFrames(stream, 320, 240);
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(320, 240);
  for (int i = 0; i < 3; ++i) {
    const auto& u = stream.units[static_cast<size_t>(i)];
    decoder.DecodeAndShow(0, &surface, u.data(), static_cast<int>(u.size()), true);
  }
  EXPECT_EQ(decoder.Flush(0), 0);
  const auto& inter = stream.units[4];  // refers to pictures the flush dropped
  EXPECT_TRUE(
      decoder.DecodeAndShow(0, &surface, inter.data(), static_cast<int>(inter.size()), true));
  EXPECT_TRUE(OpaqueBlack(surface.LastFrame())) << "no picture before the next key frame";
  for (size_t i = 8; i < 16; ++i) {  // a seek: the next key frame and its pictures
    const auto& u = stream.units[i];
    EXPECT_TRUE(decoder.DecodeAndShow(0, &surface, u.data(), static_cast<int>(u.size()), true));
    EXPECT_GE(Psnr(surface.LastFrame(), reference[i]), 40.0) << "frame " << i;
  }
}

TEST(Decoder, SurvivesGarbageAndTruncatedInputAndRecoversAtAKeyFrame) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 320, 240, 12, 6);
  const auto reference = ReferenceFrames(stream, 160, 120);
  std::mt19937 random(4);
  std::vector<std::vector<uint8_t>> bad;
  for (int size : {1, 3, 4, 5, 64, 4096}) {
    std::vector<uint8_t> noise(static_cast<size_t>(size));
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    bad.push_back(noise);
  }
  bad.push_back({0, 0, 0, 1});
  bad.push_back({0, 0, 1, 0x65});  // a slice header cut after its type
  for (size_t keep : {size_t{5}, size_t{40}, stream.units[0].size() / 2}) {
    bad.emplace_back(stream.units[0].begin(), stream.units[0].begin() + static_cast<long>(keep));
  }
  auto flipped = stream.units[1];
  for (size_t i = 10; i < flipped.size(); i += 7) flipped[i] ^= 0x5A;
  bad.push_back(flipped);

  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(160, 120);
  for (const auto& chunk : bad) {
    EXPECT_TRUE(
        decoder.DecodeAndShow(0, &surface, chunk.data(), static_cast<int>(chunk.size()), true));
  }
  const uint8_t one = 0;
  EXPECT_TRUE(decoder.DecodeAndShow(0, &surface, nullptr, 100, true));
  EXPECT_TRUE(decoder.DecodeAndShow(0, &surface, &one, 0, true));
  EXPECT_TRUE(decoder.DecodeAndShow(0, &surface, &one, -5, true));
  std::vector<cv::Mat> shown;
  for (size_t i = 6; i < 12; ++i) {
    const auto& u = stream.units[i];
    ASSERT_TRUE(decoder.DecodeAndShow(0, &surface, u.data(), static_cast<int>(u.size()), true));
    EXPECT_GE(Psnr(surface.LastFrame(), reference[i]), 40.0) << "frame " << i;
  }
}

TEST(Decoder, SnapshotsAndSettingsFromAnotherThreadWhileDecoding) {
  TempDir dir;
  const H264Stream stream = MakeH264(dir, 320, 240, 24);
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(200, 150), pane(100, 60);
  std::thread ui([&] {
    for (int i = 0; i < 24; ++i) {
      decoder.SetBrightness(0, i % 5);
      decoder.SetContrast(0, i % 7);
      decoder.SaveFrame(0, dir.File("ui.jpg").c_str());
      decoder.RedrawFrame(0, &pane);
    }
  });
  ShowAll(decoder, 0, surface, stream);
  ui.join();
  EXPECT_EQ(surface.FrameCount(), 24);
  decoder.CloseCodecs();
  EXPECT_FALSE(decoder.SaveFrame(0, dir.File("closed.jpg").c_str()));
}

// Every pane shows the full decode, however small: skipping the loop filter for a pane a
// third of the picture or less left noisy recorder-like streams below 40 dB PSNR of the
// full decode (720p at 4 Mbit/s at a third: 39.3 dB; 1080p at 16 Mbit/s: 39.9 dB).
TEST(Decoder, SmallPanesShowTheFullDecode) {
  TempDir dir;
  struct Case {
    int width, height;
    const char* rate;
    int paneWidth, paneHeight;
  } cases[] = {
      {1280, 720, "4M", 426, 240}, {1280, 720, "4M", 320, 180}, {1920, 1080, "16M", 640, 360}};
  for (const Case& c : cases) {
    const std::string rate = c.rate;
    const H264Stream stream = MakeH264(
        dir, c.width, c.height, 45, 45, "testsrc2",
        "-vf noise=alls=12:allf=t -b:v " + rate + " -maxrate " + rate + " -bufsize " + rate);
    ASSERT_EQ(stream.units.size(), 45u);
    CDecoder decoder;
    decoder.OpenCodecs();
    CHeadlessSurface surface(c.paneWidth, c.paneHeight);
    const double psnr = MinPsnr(ShowAll(decoder, 0, surface, stream),
                                ReferenceFrames(stream, c.paneWidth, c.paneHeight));
    EXPECT_EQ(psnr, 1000.0) << c.width << "x" << c.height << " at " << c.rate << " into "
                            << c.paneWidth << "x" << c.paneHeight;
  }
}

}  // namespace
