// What the MP4 export's tests share: ffprobe's view of a file's tracks, a camera's NAL units
// as ffmpeg writes them out, and a fixture with a made card of four two-camera recordings.
#pragma once

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "concurrency/trace.h"
#include "containers/media_parser.h"
#include "tat/card.h"
#include "tat/store_format.h"
#include "tat/tat_library.h"
#include "tat/tat_parser.h"
#include "tests/support/ffprobe.h"
#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace roadkeep::test {

namespace fs = std::filesystem;

namespace fs = std::filesystem;

inline std::string Quote(const std::string& path) { return "'" + path + "'"; }

using Track = ProbedStream;
inline std::vector<Track> Probe(const std::string& path) { return ProbeStreams(path); }

// The NAL units of a camera's track as an Annex B stream, start codes and the zero bytes
// before them dropped: FFmpeg writes a track out of an MP4 with start codes of its own
// lengths, so the units, not the separators, are what must match.
inline std::vector<std::string> NalUnits(const std::string& file, int camera) {
  const std::string stream =
      CommandOutput("ffmpeg -nostdin -v error -i " + Quote(file) +
                    " -map 0:v:" + std::to_string(camera) + " -c copy -f h264 -");
  std::vector<std::string> units;
  size_t begin = std::string::npos;
  const auto close = [&](size_t end) {
    while (end > begin && stream[end - 1] == '\0') --end;
    units.push_back(stream.substr(begin, end - begin));
  };
  for (size_t i = 0; i + 3 <= stream.size();) {
    if (stream.compare(i, 3, std::string("\0\0\1", 3)) != 0) {
      ++i;
      continue;
    }
    if (begin != std::string::npos) close(i);
    begin = i += 3;
  }
  if (begin != std::string::npos) close(stream.size());
  return units;
}

inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline std::string Mp4Name(const Recording& r) { return r.name.substr(0, r.name.size() - 4) + ".mp4"; }

// A parser that passes every call on to a real one; tests override what they change.
class CForwardingParser : public VMediaParser {
 public:
  explicit CForwardingParser(VMediaParser& real) : m_real(real) {}
  bool Start() override { return m_real.Start(); }
  void Stop() override { m_real.Stop(); }
  int Open(const char* path, MediaInfo* info) override { return m_real.Open(path, info); }
  int OpenSource(const MediaSource& source, MediaInfo* info) override {
    return m_real.OpenSource(source, info);
  }
  void Close() override { m_real.Close(); }
  int ReadNext(void* buffer, int* size) override { return m_real.ReadNext(buffer, size); }
  int ReadChunk(char id[4], void* buffer, int* size) override {
    return m_real.ReadChunk(id, buffer, size);
  }
  ChunkStatus NextChunk(char id[4], void* buffer, int* size) override {
    return m_real.NextChunk(id, buffer, size);
  }
  bool BuildIndex(const char* path, MediaInfo* info) override {
    return m_real.BuildIndex(path, info);
  }
  void Hook(int value) override { m_real.Hook(value); }
  int* GetVideoSize(int out[2], int stream) override { return m_real.GetVideoSize(out, stream); }
  int GetFrameRate(int stream) override { return m_real.GetFrameRate(stream); }
  void GetAudioFormat(int* bits, int* rate) override { m_real.GetAudioFormat(bits, rate); }
  int Read(void* buffer, int count) override { return m_real.Read(buffer, count); }
  int Seek(int offset, int origin) override { return m_real.Seek(offset, origin); }
  int Tell() override { return m_real.Tell(); }
  int GetTotalFrames() override { return m_real.GetTotalFrames(); }
  int SeekToTime(float seconds) override { return m_real.SeekToTime(seconds); }
  bool SeekReportsTime() override { return m_real.SeekReportsTime(); }
  bool ReadFailed() override { return m_real.ReadFailed(); }

 protected:
  VMediaParser& m_real;
};

class Mp4Export : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetTraceEnabled(false);
    av_log_set_level(AV_LOG_ERROR);
    s_card = new TempDir;
    s_made = RunCommand(BinPath("roadkeep-tool") + " make-card " + Quote(s_card->Path()) +
                        " --count 4 --seconds 4 --front 320x180@30 --rear 160x90@30"
                        " >/dev/null") == 0;
  }
  static void TearDownTestSuite() {
    delete s_card;
    s_card = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(s_made) << "roadkeep-tool make-card failed";
    if (!HaveProgram("ffprobe") || !HaveProgram("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    CCard card(s_card->Path().string());
    for (int kind = 0; kind < tat::kKindCount; ++kind) {
      for (const Recording& r : card.Recordings(kind)) m_recordings.push_back(r);
    }
    m_out = m_dir.File("out");
    fs::create_directory(m_out);
  }

  // A parser on the made card, for the exporter called directly.
  void OpenLibrary() {
    m_library = TatCreate();
    setenv("ROADKEEP_CARD_DIRS", s_card->Path().c_str(), 1);
    char letter = 0;
    TatPollCard(m_library, &letter);
    ASSERT_NE(letter, 0);
    TatOnCardFound(m_library);
    m_parser.SetLibrary(m_library);
    m_parser.Start();
  }
  void TearDown() override {
    m_parser.Stop();
    if (m_library != nullptr) TatRelease(m_library);
  }

  int RunTool(const std::vector<std::string>& names, std::string* out) {
    std::string command =
        BinPath("roadkeep-tool") + " mp4 " + Quote(s_card->Path()) + " " + Quote(m_out);
    for (const std::string& name : names) command += " " + Quote(name);
    const std::string status = m_dir.File("status");
    *out = CommandOutput(command + "; echo $? > " + Quote(status));
    return std::atoi(ReadText(status).c_str());
  }

  inline static TempDir* s_card = nullptr;
  inline static bool s_made = false;
  TempDir m_dir;
  std::string m_out;
  std::vector<Recording> m_recordings;
  TatHandle* m_library = nullptr;
  CTATParser m_parser;
};

}  // namespace roadkeep::test
