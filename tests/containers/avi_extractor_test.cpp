#include "containers/avi_extractor.h"

#include <gtest/gtest.h>

#include <cstring>

#include "containers/avi_writer.h"
#include "tests/containers/avi_test_util.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::BuildRawAvi;
using roadkeep::test::Payload;
using roadkeep::test::RawAvi;
using roadkeep::test::RawChunk;
using roadkeep::test::ReadAll;
using roadkeep::test::TempDir;
using roadkeep::test::WriteAll;

constexpr int kCap = 1 << 20;

struct Chunk {
  std::string id;
  std::vector<uint8_t> payload;
  int position;
};

// Reads chunks until failure; stops at idx1.
std::vector<Chunk> ReadAllChunks(CAVIExtractor& reader) {
  std::vector<Chunk> chunks;
  std::vector<uint8_t> buffer(kCap);
  for (int guard = 0; guard < 100000; ++guard) {
    char id[4];
    int size = kCap;
    const int pos = reader.ReadChunk(id, buffer.data(), &size);
    if (pos < 0 || std::memcmp(id, "idx1", 4) == 0) break;
    chunks.push_back({std::string(id, 4), {buffer.begin(), buffer.begin() + size}, pos});
  }
  return chunks;
}

// Writes a recording through CAVIWriter: frames front chunks, rear ones when dual, audio
// and text every 10th frame. Payload sizes vary and include odd ones.
std::vector<RawChunk> WriteRecording(const std::string& path, bool dual, int frames) {
  CAVIWriter writer;
  writer.SetDualVideo(dual);
  writer.SetVideoSize(0, 1280, 720);
  writer.SetVideoSize(1, 640, 360);
  writer.SetFrameRate(0, 30);
  writer.SetFrameRate(1, 15);
  EXPECT_TRUE(writer.Open(path.c_str()));
  std::vector<RawChunk> written;
  auto add = [&](int slot, const char* id, int size, int tag) {
    auto p = Payload(size, tag);
    p.push_back(0);  // room for the pad byte
    EXPECT_TRUE(writer.AddData(p.data(), size, slot));
    p.pop_back();
    written.push_back({id, p});
  };
  for (int i = 0; i < frames; ++i) {
    add(0, "00dc", 1000 + 37 * i, i);
    if (dual) add(1, "01dc", 500 + 13 * i, i + 1);
    if (i % 10 == 0) add(2, dual ? "02wb" : "01wb", 3840, i + 2);
    if (i % 10 == 5) add(3, dual ? "03tx" : "02tx", 41 + i % 3, i + 3);
  }
  writer.Close();
  return written;
}

class AviRoundTrip : public testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(AviRoundTrip, ReaderReturnsEveryChunkTheWriterWrote) {
  const auto [dual, readAhead] = GetParam();
  TempDir dir;
  const std::string path = dir.File("rec.avi");
  const auto written = WriteRecording(path, dual, 60);

  CAVIExtractor reader(CAVIExtractor::Options{readAhead, false});
  reader.Start();
  MediaInfo info;
  ASSERT_GT(reader.Open(path.c_str(), &info), 0);
  EXPECT_EQ(info.frontFrameRate, 30);
  EXPECT_EQ(info.rearFrameRate, dual ? 15 : 0);
  EXPECT_EQ(info.frontFrameCount, 60);
  EXPECT_EQ(info.rearFrameCount, dual ? 60 : 0);
  ASSERT_EQ(info.frameIndex.size(), 60u);
  EXPECT_EQ(reader.VideoStreamCount(), dual ? 2 : 1);
  int size[2];
  reader.GetVideoSize(size, 0);
  EXPECT_EQ(size[0], 1280);
  EXPECT_EQ(size[1], 720);
  int bits = 0, rate = 0;
  reader.GetAudioFormat(&bits, &rate);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(rate, 8000);

  testing::internal::CaptureStdout();
  const auto chunks = ReadAllChunks(reader);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(chunks.size(), written.size());
  int front = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    EXPECT_EQ(chunks[i].id, written[i].id) << i;
    EXPECT_EQ(chunks[i].payload, written[i].payload) << i;
    if (chunks[i].id == "00dc") {
      EXPECT_EQ(info.frameIndex[front++], static_cast<uint32_t>(chunks[i].position) | 0x80000000u);
    }
  }
  EXPECT_EQ(chunks[0].position, dual ? 532 : 408);
  reader.Close();
  reader.Stop();
}

INSTANTIATE_TEST_SUITE_P(CamerasAndReadAhead, AviRoundTrip,
                         testing::Combine(testing::Bool(), testing::Bool()));

TEST(AviReader, SeekToTimeLandsOnTheFrontChunkOfThatOrdinal) {
  for (bool readAhead : {false, true}) {
    TempDir dir;
    const std::string path = dir.File("rec.avi");
    const auto written = WriteRecording(path, true, 90);
    CAVIExtractor reader(CAVIExtractor::Options{readAhead, false});
    reader.Start();
    MediaInfo info;
    ASSERT_GT(reader.Open(path.c_str(), &info), 0);
    std::vector<uint8_t> buffer(kCap);
    for (float seconds : {2.0f, 0.0f, 1.5f}) {
      ASSERT_EQ(reader.SeekToTime(seconds), 0);
      char id[4];
      int size = kCap;
      ASSERT_GE(reader.ReadChunk(id, buffer.data(), &size), 0);
      EXPECT_EQ(std::string(id, 4), "00dc");
      const int frame = static_cast<int>(30 * seconds);
      EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + size),
                Payload(1000 + 37 * frame, frame));
    }
    EXPECT_EQ(reader.SeekToTime(3.0f), -1);  // frame 90 is beyond the index
    EXPECT_EQ(reader.SeekToTime(-1.0f), -1);
    reader.Close();
    reader.Stop();
  }
}

TEST(AviReader, SeekWithoutAnIndexFailsEvenAfterAFileThatHadOne) {
  TempDir dir;
  const std::string indexed = dir.File("indexed.avi");
  const std::string plain = dir.File("plain.avi");
  WriteRecording(indexed, false, 90);
  WriteRecording(plain, false, 10);
  for (bool readAhead : {false, true}) {
    CAVIExtractor reader(CAVIExtractor::Options{readAhead, false});
    reader.Start();
    ASSERT_GT(reader.Open(plain.c_str(), nullptr), 0);
    EXPECT_EQ(reader.SeekToTime(0.0f), -1);
    // An index of 90 frames, then a file opened without one: its seeks must not use the
    // first file's offsets.
    MediaInfo info;
    ASSERT_GT(reader.Open(indexed.c_str(), &info), 0);
    ASSERT_EQ(reader.SeekToTime(2.0f), 0);
    ASSERT_GT(reader.Open(plain.c_str(), nullptr), 0);
    EXPECT_EQ(reader.SeekToTime(2.0f), -1) << readAhead;
    EXPECT_EQ(reader.SeekToTime(0.0f), -1) << readAhead;
    reader.Close();
    reader.Stop();
  }
}

TEST(AviReader, OddPayloadNeedsRoomForThePadByte) {
  RawAvi shape;
  shape.chunks = {{"00dc", Payload(5, 1)}, {"00dc", Payload(4, 2)}};
  TempDir dir;
  WriteAll(dir.File("odd.avi"), BuildRawAvi(shape));
  CAVIExtractor reader;
  ASSERT_GT(reader.Open(dir.File("odd.avi").c_str(), nullptr), 0);
  char id[4];
  uint8_t buffer[8];
  int size = 5;
  testing::internal::CaptureStdout();
  EXPECT_EQ(reader.ReadChunk(id, buffer, &size), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Wrong Size 5 < 5\n");

  ASSERT_GT(reader.Open(dir.File("odd.avi").c_str(), nullptr), 0);
  size = 6;
  EXPECT_GT(reader.ReadChunk(id, buffer, &size), 0);
  EXPECT_EQ(size, 5);
  size = 8;
  EXPECT_GT(reader.ReadChunk(id, buffer, &size), 0);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(buffer[0], Payload(4, 2)[0]);
}

TEST(AviReader, ReadNextClassifiesByTheIdsLastLetters) {
  RawAvi shape;
  const char* ids[] = {"00dc", "01dc", "02dc", "02wb", "01wb", "03tx", "JUNK"};
  for (const char* id : ids) shape.chunks.push_back({id, Payload(6, 0)});
  TempDir dir;
  WriteAll(dir.File("k.avi"), BuildRawAvi(shape));
  CAVIExtractor reader;
  ASSERT_GT(reader.Open(dir.File("k.avi").c_str(), nullptr), 0);
  std::vector<uint8_t> buffer(kCap);
  const int want[] = {0, 1, 1, 2, 2, 3, 5, 5 /* idx1 */};
  for (int k : want) {
    int size = kCap;
    EXPECT_EQ(reader.ReadNext(buffer.data(), &size), k);
  }
  int size = kCap;
  testing::internal::CaptureStdout();
  EXPECT_EQ(reader.ReadNext(buffer.data(), &size), 5);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Read Header Failed\nm_aviExtractor.ParseMedia failed\n");
}

TEST(AviReader, FrameRateIsCappedButSeekUsesTheTrueRate) {
  struct Case {
    uint32_t rate;
    int reported;
  } cases[] = {{25000, 25}, {30000, 30}, {60000, 30}, {15000, 15}};
  for (const Case& c : cases) {
    RawAvi shape;
    shape.videoRates = {c.rate};
    for (int i = 0; i < 130; ++i) shape.chunks.push_back({"00dc", Payload(10, i)});
    TempDir dir;
    WriteAll(dir.File("r.avi"), BuildRawAvi(shape));
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_GT(reader.Open(dir.File("r.avi").c_str(), &info), 0);
    EXPECT_EQ(reader.GetFrameRate(0), c.reported);
    EXPECT_EQ(info.frontFrameRate, c.reported);
    ASSERT_EQ(reader.SeekToTime(2.0f), 0);
    char id[4];
    uint8_t buffer[16];
    int size = 16;
    ASSERT_GT(reader.ReadChunk(id, buffer, &size), 0);
    EXPECT_EQ(buffer[0], Payload(10, static_cast<int>(2 * c.rate / 1000))[0]) << c.rate;
  }
}

TEST(AviReader, MissingIndexFailsBuildIndexButOpenStillOpens) {
  RawAvi shape;
  shape.withIndex = false;
  shape.chunks = {{"00dc", Payload(10, 0)}};
  TempDir dir;
  WriteAll(dir.File("n.avi"), BuildRawAvi(shape));
  CAVIExtractor reader;
  MediaInfo info;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(reader.BuildIndex(dir.File("n.avi").c_str(), &info));
  EXPECT_EQ(reader.Open(dir.File("n.avi").c_str(), &info), 4 + 18);
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(info.frameIndex.empty());
}

TEST(AviReader, WalksPastJunkAndInfoListsToMovi) {
  RawAvi shape;
  shape.junkBeforeMovi = true;
  shape.chunks = {{"00dc", Payload(10, 3)}, {"00dc", Payload(12, 4)}};
  TempDir dir;
  WriteAll(dir.File("j.avi"), BuildRawAvi(shape));
  CAVIExtractor reader;
  MediaInfo info;
  ASSERT_GT(reader.Open(dir.File("j.avi").c_str(), &info), 0);
  EXPECT_EQ(info.frontFrameCount, 2);
  ASSERT_EQ(reader.SeekToTime(1.0f / 30 + 0.001f), 0);
  char id[4];
  uint8_t buffer[16];
  int size = 16;
  ASSERT_GT(reader.ReadChunk(id, buffer, &size), 0);
  EXPECT_EQ(size, 12);
}

TEST(AviReader, ScanOnlyReadsTextWholeAndVideoHeadsOnly) {
  RawAvi shape;
  shape.chunks = {{"00dc", Payload(100, 1)}, {"02wb", Payload(50, 2)}, {"03tx", Payload(9, 3)},
                 {"01dc", Payload(4, 4)}};
  TempDir dir;
  WriteAll(dir.File("s.avi"), BuildRawAvi(shape));
  CAVIExtractor reader(CAVIExtractor::Options{false, true});
  ASSERT_GT(reader.Open(dir.File("s.avi").c_str(), nullptr), 0);
  char id[4];
  uint8_t buffer[16] = {};
  int size = 16;
  ASSERT_GT(reader.ReadChunk(id, buffer, &size), 0);
  EXPECT_EQ(size, 100);
  EXPECT_EQ(buffer[7], Payload(100, 1)[7]);
  size = 16;
  ASSERT_GT(reader.ReadChunk(id, buffer, &size), 0);
  EXPECT_EQ(std::string(id, 4), "02wb");
  size = 16;
  ASSERT_GT(reader.ReadChunk(id, buffer, &size), 0);
  EXPECT_EQ(std::string(id, 4), "03tx");
  EXPECT_EQ(buffer[8], Payload(9, 3)[8]);
  size = 16;
  ASSERT_GT(reader.ReadChunk(id, buffer, &size), 0);
  EXPECT_EQ(std::string(id, 4), "01dc");
  size = 16;
  EXPECT_EQ(reader.ReadChunk(id, buffer, &size), -1);  // idx1 is no stream chunk
}

// Damaged files: every one must end in a failure result, never a crash or a hang.
TEST(AviReader, DamagedFilesEndCleanly) {
  TempDir dir;
  const std::string good = dir.File("good.avi");
  WriteRecording(good, true, 12);
  const auto bytes = ReadAll(good);
  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
  for (size_t cut = 0; cut < bytes.size(); cut += (cut < 600 ? 1 : 97)) {
    cases.push_back({"cut at " + std::to_string(cut), {bytes.begin(), bytes.begin() + cut}});
  }
  auto patched = [&](const char* name, size_t at, uint32_t value) {
    auto b = bytes;
    roadkeep::PutU32(b.data() + at, value);
    cases.push_back({name, b});
  };
  patched("riff size huge", 4, 0xFFFFFFFF);
  patched("header list huge", 16, 0xFFFFFFF0);
  patched("header list zero", 16, 0);
  patched("avih size wrong", 28, 55);
  patched("strh size wrong", 88 + 16, 57);
  patched("strl list huge", 88 + 4, 0x7FFFFFFF);
  patched("strl list tiny", 88 + 4, 2);
  patched("movi size huge", 524, 0xFFFFFFF0);
  patched("first chunk huge", 536, 0x7FFFFFFF);
  patched("first chunk negative", 536, 0x80000000);
  patched("idx1 size huge", bytes.size() - 16 * 27 - 4, 0xFFFFFFF0);
  for (size_t at = 0; at < 700 && at < bytes.size(); ++at) {
    auto b = bytes;
    b[at] ^= 0xFF;
    cases.push_back({"flip " + std::to_string(at), b});
  }
  testing::internal::CaptureStdout();
  std::vector<uint8_t> buffer(kCap);
  for (const auto& [name, content] : cases) {
    const std::string path = dir.File("bad.avi");
    WriteAll(path, content);
    for (bool readAhead : {false, true}) {
      CAVIExtractor reader(CAVIExtractor::Options{readAhead, false});
      reader.Start();
      MediaInfo info;
      if (reader.Open(path.c_str(), &info) > 0) {
        for (uint32_t entry : info.frameIndex) EXPECT_LT(entry & 0x7FFFFFFF, content.size()) << name;
        int reads = 0;
        for (;; ++reads) {
          char id[4];
          int size = kCap;
          if (reader.ReadChunk(id, buffer.data(), &size) < 0) break;
          ASSERT_LE(size, kCap) << name;
          ASSERT_LT(reads, 1000) << name;
        }
        reader.SeekToTime(0.2f);
      }
      reader.Close();
      reader.Stop();
    }
  }
  testing::internal::GetCapturedStdout();
}

TEST(AviReader, RawAccessWithoutAFileReturnsZero) {
  CAVIExtractor reader;
  char buffer[4];
  EXPECT_EQ(reader.Read(buffer, 4), 0);
  EXPECT_EQ(reader.Seek(10, 0), 0);
  EXPECT_EQ(reader.Tell(), 0);
  EXPECT_EQ(reader.Open("/nonexistent/x.avi", nullptr), 0);
  reader.Close();
  reader.Close();
}

}  // namespace
