// The reader on files muxed by the ffmpeg command-line tool, and ffprobe on files made by
// our writer (through roadkeep-tool avi-copy, the path a copy takes).
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "containers/avi_extractor.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::CommandOutput;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;

// Two seconds at 30 fps of H.264 (key frame every 24, no B-frames) and 8 kHz mono PCM.
std::string MakeFfmpegAvi(const TempDir& dir, bool dual) {
  const std::string out = dir.File(dual ? "ff2.avi" : "ff1.avi");
  std::string cmd =
      "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=30 "
      "-f lavfi -i testsrc=size=160x120:rate=30 -f lavfi -i sine=frequency=440:sample_rate=8000 "
      "-t 2 -map 0:v ";
  if (dual) cmd += "-map 1:v ";
  cmd += "-map 2:a -c:v libx264 -g 24 -bf 0 -pix_fmt yuv420p -c:a pcm_s16le -ac 1 " + out;
  EXPECT_EQ(RunCommand(cmd), 0) << cmd;
  return out;
}

std::map<std::string, int> CountChunks(CAVIExtractor& reader) {
  std::map<std::string, int> counts;
  std::vector<uint8_t> buffer(0x200000);
  for (;;) {
    char id[4];
    int size = static_cast<int>(buffer.size());
    if (reader.ReadChunk(id, buffer.data(), &size) < 0) break;
    if (std::memcmp(id, "idx1", 4) == 0) break;
    ++counts[std::string(id, 4)];
  }
  return counts;
}

TEST(AviFfmpeg, ReaderOpensFilesMuxedByFfmpeg) {
  TempDir dir;
  for (bool dual : {false, true}) {
    const std::string path = MakeFfmpegAvi(dir, dual);
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_GT(reader.Open(path.c_str(), &info), 0) << path;
    EXPECT_EQ(reader.VideoStreamCount(), dual ? 2 : 1);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.frontFrameCount, 60);
    EXPECT_EQ(info.rearFrameCount, dual ? 60 : 0);
    int size[2];
    reader.GetVideoSize(size, 0);
    EXPECT_EQ(size[0], 320);
    EXPECT_EQ(size[1], 240);
    int bits = 0, rate = 0;
    reader.GetAudioFormat(&bits, &rate);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(rate, 8000);
    // Index positions point at front chunk headers.
    char code[4];
    reader.Seek(static_cast<int>(info.frameIndex[30] & 0x7FFFFFFF), SEEK_SET);
    ASSERT_EQ(reader.Read(code, 4), 4);
    EXPECT_EQ(std::string(code, 4), "00dc");

    ASSERT_GT(reader.Open(path.c_str(), nullptr), 0);
    testing::internal::CaptureStdout();
    const auto counts = CountChunks(reader);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(counts.at("00dc"), 60);
    if (dual) {
      EXPECT_EQ(counts.at("01dc"), 60);
    }
    EXPECT_GT(counts.at(dual ? "02wb" : "01wb"), 0);
  }
}

TEST(AviFfmpeg, FfprobeReadsOurCopyWithTheRightStreamsAndFrames) {
  TempDir dir;
  const std::string bin = std::getenv("ROADKEEP_BIN") ? std::getenv("ROADKEEP_BIN") : "build/bin";
  for (bool dual : {false, true}) {
    const std::string in = MakeFfmpegAvi(dir, dual);
    const std::string out = dir.File(dual ? "copy2.avi" : "copy1.avi");
    ASSERT_EQ(RunCommand(bin + "/roadkeep-tool avi-copy " + in + " " + out + " >/dev/null"), 0);
    const std::string probe = CommandOutput(
        "ffprobe -v error -count_frames -show_entries "
        "stream=codec_type,codec_name,width,height,nb_read_frames -of csv=p=0 " +
        out);
    std::string want = "h264,video,320,240,60\n";
    if (dual) want += "h264,video,160,120,60\n";
    want += "pcm_s16le,audio";
    EXPECT_EQ(probe.substr(0, want.size()), want) << probe;
    EXPECT_NE(probe.find("subtitle"), std::string::npos) << probe;  // the text stream
    // And our reader agrees with itself on the copy.
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_GT(reader.Open(out.c_str(), &info), 0);
    EXPECT_EQ(info.frontFrameCount, 60);
    EXPECT_EQ(info.rearFrameCount, dual ? 60 : 0);
  }
}

}  // namespace
