#include "tests/playback/player_rig.h"

#include <cstdio>
#include <thread>

#include "concurrency/trace.h"

namespace roadkeep::test {

namespace {

TatHandle* PollCard(const std::string& dir) {
  setenv("ROADKEEP_CARD_DIRS", dir.c_str(), 1);
  TatHandle* library = TatCreate();
  char letter = 0;
  TatPollCard(library, &letter);
  EXPECT_NE(letter, 0) << dir;
  return library;
}

}  // namespace

std::vector<std::vector<uint8_t>> FrontChunks(TatHandle* library, const std::string& name) {
  CTATParser parser;
  parser.SetLibrary(library);
  parser.Start();
  MediaInfo info;
  parser.Open(name.c_str(), &info);
  std::vector<uint8_t> buffer(CTATParser::kQueueCapacity);
  std::vector<std::vector<uint8_t>> chunks;
  for (;;) {
    char id[4];
    int size = static_cast<int>(buffer.size());
    if (parser.ReadChunk(id, buffer.data(), &size) != 4) break;
    if (std::string_view(id, 4) == "00dc") chunks.emplace_back(buffer.begin(), buffer.begin() + size);
  }
  parser.Close();
  parser.Stop();
  return chunks;
}

std::vector<size_t> FrontChunkHashes(TatHandle* library, const std::string& name) {
  std::vector<size_t> hashes;
  for (const auto& chunk : FrontChunks(library, name)) {
    hashes.push_back(HashBytes(chunk.data(), static_cast<int>(chunk.size())));
  }
  return hashes;
}

ChunkStatus CSpyParser::NextChunk(char id[4], void* buffer, int* size) {
  const ChunkStatus status = CTATParser::NextChunk(id, buffer, size);
  if (status == ChunkStatus::kNoData) return status;
  ++reads;
  const bool chunk = status == ChunkStatus::kChunk;
  if (chunk && std::string_view(id, 4) == "00dc") ++frontDelivered;
  if (chunk && std::string_view(id, 4) == "03tx") {
    std::lock_guard<std::mutex> guard(mutex);
    textSizes.push_back(static_cast<size_t>(*size));
  }
  return status;
}

int CSpyParser::SeekToTime(float seconds) {
  {
    std::lock_guard<std::mutex> guard(mutex);
    seeks.push_back(seconds);
    readsAtSeek.push_back(reads.load());
  }
  return CTATParser::SeekToTime(seconds);
}

bool CSpyDecoder::DecodeAndShow(int index, VideoSurface* surface, const uint8_t* data, int size,
                                bool show) {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_calls.push_back({index, HashBytes(data, size), show, parser ? parser->frontDelivered.load() : 0});
  }
  return CDecoder::DecodeAndShow(index, surface, data, size, show);
}

bool CSpyDecoder::DecodeToFrame(int index, VideoSurface* surface, const uint8_t* data, int size,
                                cv::Mat* frame) {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_calls.push_back({index, HashBytes(data, size), true, parser ? parser->frontDelivered.load() : 0});
  }
  return CDecoder::DecodeToFrame(index, surface, data, size, frame);
}

std::vector<CSpyDecoder::Call> CSpyDecoder::Calls() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_calls;
}

void CTimedSurface::ShowFrame(const cv::Mat& frame) {
  const auto now = Clock::now();
  const double brightness = cv::mean(frame)[0];
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_frames.push_back({now, brightness});
  }
  CHeadlessSurface::ShowFrame(frame);
}

std::vector<CTimedSurface::Shown> CTimedSurface::Frames() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_frames;
}

PlayerRig::PlayerRig(const std::string& cardDir) {
  roadkeep::SetTraceEnabled(false);
  m_library = PollCard(cardDir);
  parser.SetLibrary(m_library);
  decoder.parser = &parser;
  player.SetParser(&parser);
  player.SetDecoder(&decoder);
  player.SetAudio(&audio);
  player.SetTextCallback(&PlayerRig::OnText, this);
  player.SetStatusCallback(&PlayerRig::OnStatus, this);
  player.StartEngine(&front, &rear);
}

PlayerRig::~PlayerRig() {
  player.StopMedia();
  player.Shutdown();
  TatRelease(m_library);
  roadkeep::SetTraceEnabled(true);
}

void PlayerRig::OnStatus(void* user, int code, int, int) {
  auto* rig = static_cast<PlayerRig*>(user);
  std::lock_guard<std::mutex> guard(rig->m_mutex);
  if (code == 1) ++rig->m_ends;
  rig->m_cond.notify_all();
}

void PlayerRig::OnText(void* user, const char* data, int size, int timeMs) {
  auto* rig = static_cast<PlayerRig*>(user);
  {
    std::lock_guard<std::mutex> guard(rig->m_mutex);
    rig->m_text.push_back({size, size > 0 ? data[size - 1] : 'x'});
  }
  rig->text.OnTextData(data, size, timeMs);
}

bool PlayerRig::WaitForEnd(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_cond.wait_for(lock, timeout, [&] { return m_ends > m_waited; })) return false;
  ++m_waited;
  return true;
}

int PlayerRig::Ends() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_ends;
}

std::vector<PlayerRig::TextChunk> PlayerRig::TextChunks() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_text;
}

bool PlayerRig::WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!pred()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace roadkeep::test
