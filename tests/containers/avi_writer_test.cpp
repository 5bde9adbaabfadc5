#include "containers/avi_writer.h"

#include <gtest/gtest.h>

#include <memory>

#include "containers/file_system.h"
#include "platform/byte_order.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::GetU32;
using roadkeep::test::ReadAll;
using roadkeep::test::TempDir;

std::string Code(const std::vector<uint8_t>& f, size_t at) {
  return std::string(reinterpret_cast<const char*>(f.data() + at), 4);
}

TEST(AviWriter, OneCameraHeaderMatchesTheWorkedExample) {
  TempDir dir;
  CAVIWriter writer;
  writer.SetVideoSize(0, 1280, 720);
  writer.SetFrameRate(0, 30);
  ASSERT_TRUE(writer.Open(dir.File("a.avi").c_str()));
  EXPECT_EQ(writer.HeaderListValue(), 380);
  std::vector<uint8_t> data(300, 0x5A);
  ASSERT_TRUE(writer.AddData(data.data(), 100, CAVIWriter::kSlotFront));
  ASSERT_TRUE(writer.AddData(data.data(), 200, CAVIWriter::kSlotAudio));
  ASSERT_TRUE(writer.AddData(data.data(), 300, CAVIWriter::kSlotText));
  EXPECT_EQ(writer.Close(), 1076);

  const auto f = ReadAll(dir.File("a.avi"));
  EXPECT_EQ(Code(f, 0), "RIFF");
  EXPECT_EQ(GetU32(&f[4]), 1076u);
  EXPECT_EQ(f.size(), 1076u + 8 + 4);  // the size field counts 4 bytes short
  EXPECT_EQ(GetU32(&f[16]), 376u);
  EXPECT_EQ(Code(f, 396), "LIST");
  EXPECT_EQ(Code(f, 404), "movi");
  EXPECT_EQ(GetU32(&f[400]), 600u + 8 * 3 + 4);
  EXPECT_EQ(Code(f, 408), "00dc");  // first chunk
  EXPECT_EQ(Code(f, 408 + 108), "01wb");
  EXPECT_EQ(Code(f, 408 + 108 + 208), "02tx");
  // Main header: flags, total frames, streams, size.
  EXPECT_EQ(GetU32(&f[32 + 12]), 0x110u);
  EXPECT_EQ(GetU32(&f[32 + 16]), 3u);
  EXPECT_EQ(GetU32(&f[32 + 24]), 4u);
  EXPECT_EQ(GetU32(&f[32 + 32]), 1280u);
  // Front stream header: rate fps * 1000 over scale 1000.
  EXPECT_EQ(Code(f, 88 + 12 + 8), "vids");
  EXPECT_EQ(GetU32(&f[88 + 20 + 20]), 1000u);
  EXPECT_EQ(GetU32(&f[88 + 20 + 24]), 30000u);
  // idx1: three entries with offsets from the movi code.
  const size_t idx = 408 + 108 + 208 + 308;
  EXPECT_EQ(Code(f, idx), "idx1");
  EXPECT_EQ(GetU32(&f[idx + 4]), 48u);
  EXPECT_EQ(GetU32(&f[idx + 8 + 8]), 4u);
  EXPECT_EQ(GetU32(&f[idx + 8 + 16 + 8]), 112u);
  EXPECT_EQ(GetU32(&f[idx + 8 + 32 + 8]), 320u);
  EXPECT_EQ(GetU32(&f[idx + 8 + 4]), 16u);
}

TEST(AviWriter, HeaderListValueByCamerasAndAudio) {
  TempDir dir;
  CAVIWriter writer;
  writer.SetDualVideo(true);
  ASSERT_TRUE(writer.Open(dir.File("b.avi").c_str()));
  EXPECT_EQ(writer.HeaderListValue(), 504);
  writer.Close();
  const auto f = ReadAll(dir.File("b.avi"));
  EXPECT_EQ(GetU32(&f[16]), 500u);
  EXPECT_EQ(Code(f, 12 + 8 + 500 + 8), "movi");
  EXPECT_EQ(GetU32(&f[4]), 504u + 24);  // no chunks
}

TEST(AviWriter, OddPayloadIsPaddedAndIndexedPadded) {
  TempDir dir;
  CAVIWriter writer;
  ASSERT_TRUE(writer.Open(dir.File("c.avi").c_str()));
  // The byte after the payload is not zero: a writer that took its pad from the caller's
  // buffer would write 'X'.
  const char five[] = "abcdeX";
  ASSERT_TRUE(writer.AddData(five, 5, CAVIWriter::kSlotFront));
  ASSERT_TRUE(writer.AddData(five, 2, CAVIWriter::kSlotFront));
  writer.Close();
  const auto f = ReadAll(dir.File("c.avi"));
  EXPECT_EQ(GetU32(&f[412]), 5u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[416]), 5), "abcde");
  EXPECT_EQ(f[416 + 5], 0);                 // pad byte
  EXPECT_EQ(Code(f, 416 + 6), "00dc");      // next chunk after 8 + 6 bytes
  const size_t idx = 416 + 6 + 8 + 2;
  EXPECT_EQ(Code(f, idx), "idx1");
  EXPECT_EQ(GetU32(&f[idx + 8 + 12]), 6u);  // padded size
  EXPECT_EQ(GetU32(&f[idx + 24 + 8]), 4u + 14);
}

TEST(AviWriter, TextStreamWithoutChunksHasLengthOne) {
  TempDir dir;
  CAVIWriter writer;
  ASSERT_TRUE(writer.Open(dir.File("d.avi").c_str()));
  writer.Close();
  const auto f = ReadAll(dir.File("d.avi"));
  const size_t text = 88 + 124 + 100;  // one camera, audio
  EXPECT_EQ(Code(f, text + 20), "txts");
  EXPECT_EQ(Code(f, text + 24), "XBLB");
  EXPECT_EQ(GetU32(&f[text + 20 + 32]), 1u);
  EXPECT_EQ(GetU32(&f[text + 20 + 36]), 0u);
}

TEST(AviWriter, AddDataWithoutAnOpenFileFails) {
  CAVIWriter writer;
  EXPECT_EQ(writer.Close(), 0);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(writer.AddData("x", 1, 0));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "[CAVIWriter] AddData : File is already closed\n");
}

TEST(AviWriter, OpenFailsOnAMissingFolder) {
  CAVIWriter writer;
  EXPECT_FALSE(writer.Open("/nonexistent-dir/x.avi"));
}

// Counts bytes instead of storing them; can be told to fall short.
class CountingFile : public VFileSystem {
 public:
  bool OpenFile(const char*, const char*) override { return m_open = true; }
  int WriteBytes(const void*, int count) override {
    m_written += count;
    return m_short && count > 8 ? count - 1 : count;
  }
  bool CloseFile() override {
    m_open = false;
    return true;
  }
  int SeekFile(int, int) override { return 0; }
  bool IsOpen() override { return m_open; }
  bool m_open = false;
  bool m_short = false;
  int64_t m_written = 0;
};

TEST(AviWriter, RefusesAChunkBeyondWhatTheIndexAddresses) {
  auto file = std::make_unique<CountingFile>();
  CAVIWriter writer(std::move(file));
  ASSERT_TRUE(writer.Open("ignored"));
  char small[4] = {};
  testing::internal::CaptureStdout();
  // Refused before any byte of the (too small) buffer is read.
  EXPECT_FALSE(writer.AddData(small, 0x7FFFFFF0, 0));
  std::vector<uint8_t> big(1 << 24);
  int added = 0;
  while (writer.AddData(big.data(), static_cast<int>(big.size()), 0)) ++added;
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(added, 127);  // 127 * 16 MiB + headers < 2 GiB
  EXPECT_GT(writer.Close(), 0);
}

TEST(AviWriter, ShortPayloadWriteIsReported) {
  auto file = std::make_unique<CountingFile>();
  file->m_short = true;
  CAVIWriter writer(std::move(file));
  ASSERT_TRUE(writer.Open("ignored"));
  std::vector<uint8_t> data(100);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(writer.AddData(data.data(), 100, 0));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "CAVIWriter::AddDataBody error 99 != 100\n");
}

TEST(FSNormal, RefusesASecondOpen) {
  TempDir dir;
  CFSNormal file;
  ASSERT_TRUE(file.OpenFile(dir.File("e").c_str(), "wb"));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(file.OpenFile(dir.File("f").c_str(), "wb"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "[CFSNormal] FP is Already Opened\n");
  EXPECT_EQ(file.WriteBytes("abc", 3), 3);
  file.CloseFile();
  EXPECT_FALSE(file.IsOpen());
}

}  // namespace
