// AVI reader and writer throughput on a ~100 MB two-camera file in the page cache, each
// against a plain fread / fwrite of the same bytes in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "containers/avi_extractor.h"
#include "containers/avi_writer.h"

namespace {

constexpr int kFrames = 1800;  // 60 s at 30 fps
constexpr int kCapacity = 0x200000;

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("roadkeep-bench-") + std::to_string(getpid()) + "-" + name))
      .string();
}

struct Chunk {
  int slot;
  int size;
};

// A recording's chunk pattern: 40 KB front and 15 KB rear frames with a key frame of
// four times that every 24 frames, 3840-byte audio every 8 frames, text every 3.
const std::vector<Chunk>& Pattern() {
  static const std::vector<Chunk> chunks = [] {
    std::vector<Chunk> c;
    for (int i = 0; i < kFrames; ++i) {
      const int key = i % 24 == 0 ? 4 : 1;
      c.push_back({0, 40000 * key + (i % 7)});
      c.push_back({1, 15000 * key + (i % 5)});
      if (i % 8 == 0) c.push_back({2, 3840});
      if (i % 3 == 0) c.push_back({3, 45});
    }
    return c;
  }();
  return chunks;
}

std::vector<uint8_t>& Payload() {
  static std::vector<uint8_t> payload(kCapacity, 0x42);
  return payload;
}

int64_t WriteRecording(const std::string& path) {
  CAVIWriter writer;
  writer.SetDualVideo(true);
  writer.SetVideoSize(0, 1920, 1080);
  writer.SetVideoSize(1, 1280, 720);
  writer.SetFrameRate(0, 30);
  writer.SetFrameRate(1, 30);
  if (!writer.Open(path.c_str())) return 0;
  int64_t bytes = 0;
  for (const Chunk& c : Pattern()) {
    writer.AddData(Payload().data(), c.size, c.slot);
    bytes += c.size;
  }
  writer.Close();
  return bytes;
}

const std::string& SampleFile() {
  static const std::string path = [] {
    std::string p = TempPath("read.avi");
    WriteRecording(p);
    return p;
  }();
  return path;
}

void BM_ReaderReadChunk(benchmark::State& state) {
  std::vector<uint8_t> buffer(kCapacity);
  int64_t bytes = 0;
  for (auto _ : state) {
    CAVIExtractor reader;
    reader.Open(SampleFile().c_str(), nullptr);
    for (;;) {
      char id[4];
      int size = kCapacity;
      if (reader.ReadChunk(id, buffer.data(), &size) < 0 || id[0] == 'i') break;
      bytes += size;
    }
    reader.Close();
  }
  state.SetBytesProcessed(bytes);
}

void BM_PlainFread(benchmark::State& state) {
  std::vector<uint8_t> buffer(1 << 16);
  int64_t bytes = 0;
  for (auto _ : state) {
    FILE* f = std::fopen(SampleFile().c_str(), "rb");
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) bytes += n;
    std::fclose(f);
  }
  state.SetBytesProcessed(bytes);
}

void BM_WriterAddData(benchmark::State& state) {
  const std::string path = TempPath("write.avi");
  int64_t bytes = 0;
  for (auto _ : state) bytes += WriteRecording(path);
  state.SetBytesProcessed(bytes);
  std::filesystem::remove(path);
}

void BM_PlainFwrite(benchmark::State& state) {
  const std::string path = TempPath("plain.bin");
  int64_t bytes = 0;
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "wb");
    for (const Chunk& c : Pattern()) {
      std::fwrite(Payload().data(), 1, static_cast<size_t>(c.size), f);
      bytes += c.size;
    }
    std::fclose(f);
  }
  state.SetBytesProcessed(bytes);
  std::filesystem::remove(path);
}

BENCHMARK(BM_ReaderReadChunk)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PlainFread)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WriterAddData)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove(SampleFile());
  return 0;
}
