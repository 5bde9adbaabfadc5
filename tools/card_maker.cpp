#include "tools/card_maker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include <opencv2/core.hpp>

#include "tat/store_writer.h"
#include "tat/tat_library.h"
#include "tools/h264_encoder.h"
#include "tools/scene.h"
#include "tools/sensor_track.h"

namespace roadkeep::tools {
namespace fs = std::filesystem;
using namespace roadkeep::tat;

namespace {

constexpr int kAudioRate = 8000;
constexpr int kAudioChunkMs = 200;  // 3200 bytes; a second always starts a chunk

std::string NameOf(int kindCode, std::time_t start, bool dual) {
  std::tm t{};
  gmtime_r(&start, &t);
  char name[64];
  std::snprintf(name, sizeof name, "%s_%04d%02d%02d_%02d%02d%02d_%c.avi", KindWord(kindCode),
                t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                dual ? 'D' : 'F');
  return name;
}

std::string ClockText(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

// A quiet 440 Hz tone with a click in the first 10 ms of every second.
std::vector<uint8_t> AudioChunk(uint32_t startMs) {
  const int samples = kAudioRate * kAudioChunkMs / 1000;
  std::vector<uint8_t> pcm(static_cast<size_t>(samples) * 2);
  for (int i = 0; i < samples; ++i) {
    const int64_t n = static_cast<int64_t>(startMs) * kAudioRate / 1000 + i;
    double v = 600 * std::sin(2 * 3.14159265358979 * 440 * static_cast<double>(n) / kAudioRate);
    if (n % kAudioRate < kAudioRate / 100) v = (n % 8 < 4) ? 28000 : -28000;
    const auto s = static_cast<int16_t>(v);
    std::memcpy(&pcm[2 * static_cast<size_t>(i)], &s, 2);
  }
  return pcm;
}

// One camera's frames: encoded, or filler bytes of encoder-like sizes.
class CameraSource {
 public:
  CameraSource(const char* label, int width, int height, int fps, bool filler)
      : m_label(label), m_image(height, width, CV_8UC3), m_fps(fps), m_filler(filler) {
    m_bitrate = std::max(100000, static_cast<int>(static_cast<int64_t>(width) * height * fps / 10));
  }
  bool Open(std::string* error) {
    return m_filler || m_encoder.Open(m_image.cols, m_image.rows, m_fps, m_bitrate, error);
  }
  bool Frame(const std::string& name, std::time_t start, int frame, bool key,
             std::vector<uint8_t>* out, bool* isKey) {
    out->clear();
    if (m_filler) {
      const size_t mean = static_cast<size_t>(m_bitrate / 8 / m_fps);
      out->assign(key ? mean * 4 : mean - static_cast<size_t>(frame % 7) * mean / 20, 0);
      std::memset(out->data(), frame & 0xFF, std::min<size_t>(out->size(), 64));
      *isKey = key;
      return true;
    }
    SceneText text{m_label, name, ClockText(start + frame / m_fps), frame, frame % m_fps == 0};
    DrawScene(text, &m_image);
    return m_encoder.Encode(m_image.data, key, out, isKey);
  }

 private:
  const char* m_label;
  cv::Mat m_image;
  int m_fps;
  bool m_filler;
  int m_bitrate;
  CH264Encoder m_encoder;
};

struct RecordingPlan {
  int kindCode;
  std::time_t start;
  bool dual;
};

bool WriteRecording(const std::string& dir, const CardOptions& o, const RecordingPlan& plan,
                    CGpsTrack* gps, std::mt19937* rng, std::string* error) {
  const std::string name = NameOf(plan.kindCode, plan.start, plan.dual);
  EntryHeader header;
  header.frontFps = static_cast<uint8_t>(o.frontFps);
  header.rearFps = plan.dual ? static_cast<uint8_t>(o.rearFps) : 0;
  header.kindCode = static_cast<uint8_t>(plan.kindCode);
  header.cameras = plan.dual ? 2 : 1;
  header.frontWidth = static_cast<uint16_t>(o.frontWidth);
  header.frontHeight = static_cast<uint16_t>(o.frontHeight);
  header.rearWidth = plan.dual ? static_cast<uint16_t>(o.rearWidth) : 0;
  header.rearHeight = plan.dual ? static_cast<uint16_t>(o.rearHeight) : 0;
  std::snprintf(header.name, sizeof header.name, "%s", name.c_str());
  header.startTime = static_cast<uint32_t>(plan.start);

  CameraSource front("FRONT", o.frontWidth, o.frontHeight, o.frontFps, o.filler);
  CameraSource rear("REAR", o.rearWidth, o.rearHeight, o.rearFps, o.filler);
  if (!front.Open(error) || (plan.dual && !rear.Open(error))) return false;
  CTatStoreWriter writer;
  if (!writer.BeginRecording(dir, header, error)) return false;

  const int frames = o.seconds * o.frontFps;
  ImpactSpike impact{-1, o.impactG, o.impactSide};
  if (plan.kindCode == kKindEvent) impact.ms = o.seconds * 500;
  int rearFrame = 0;
  uint32_t audioMs = 0, gpsMs = 0, accMs = 0;
  std::vector<uint8_t> au;
  bool key = false;
  bool ok = true;
  for (int i = 0; i < frames && ok; ++i) {
    const uint32_t t = static_cast<uint32_t>(static_cast<int64_t>(i) * 1000 / o.frontFps);
    const bool unitStart = i % kFramesPerUnit == 0;
    ok = front.Frame(name, plan.start, i, unitStart, &au, &key) &&
         writer.AddChunk(kTypeFrontVideo, 0, key, t, au.data(), static_cast<uint32_t>(au.size()));
    // The rear camera, audio and sensors of this moment follow the front frame, so a seek
    // to a unit start finds them right behind its key frame.
    bool rearKey = unitStart;
    while (ok && plan.dual && static_cast<int64_t>(rearFrame) * 1000 / o.rearFps <= t) {
      ok = rear.Frame(name, plan.start, rearFrame, rearKey, &au, &key) &&
           writer.AddChunk(kTypeRearVideo, 1, key,
                           static_cast<uint32_t>(static_cast<int64_t>(rearFrame) * 1000 / o.rearFps),
                           au.data(), static_cast<uint32_t>(au.size()));
      rearKey = false;
      ++rearFrame;
    }
    for (; ok && o.audio && audioMs <= t; audioMs += kAudioChunkMs) {
      const auto pcm = AudioChunk(audioMs);
      ok = writer.AddChunk(kTypeAudio, 0, true, audioMs, pcm.data(), static_cast<uint32_t>(pcm.size()));
    }
    for (; ok && o.text && gpsMs <= t; gpsMs += 1000) {
      const std::string fix = gps->NextFix(plan.start + gpsMs / 1000);
      ok = writer.AddChunk(kTypeText, 0, true, gpsMs, fix.data(), static_cast<uint32_t>(fix.size()));
    }
    for (; ok && o.text && accMs <= t; accMs += 100) {
      const auto sample = GSensorSample(accMs, impact, rng);
      ok = writer.AddChunk(kTypeText, 0, true, accMs, sample.data(), 4);
    }
  }
  if (!ok || writer.FinishRecording(static_cast<uint32_t>(o.seconds) * 1000) == 0) {
    *error = name + ": write failed";
    return false;
  }
  return true;
}

bool WriteSettings(const std::string& dir, std::string* error) {
  TatHandle* handle = TatCreate();
  char text[2048];
  int length = sizeof text;
  const int ok = TatDefaultSettings(handle, text, &length);
  TatRelease(handle);
  std::error_code ec;
  fs::create_directories(fs::path(dir) / "SETTING", ec);
  std::ofstream out(fs::path(dir) / "SETTING" / "blackbox.cfg", std::ios::binary);
  out.write(text, ok ? length : 0);
  if (!ok || !out) {
    *error = "cannot write SETTING/blackbox.cfg";
    return false;
  }
  return true;
}

}  // namespace

bool MakeCard(const std::string& dir, const CardOptions& o, std::string* error) {
  if (o.perKind < 0 || o.count < 0 || o.seconds <= 0 || o.gapSeconds < 0 || o.tripEvery < 0 ||
      o.frontFps <= 0 || o.rearFps <= 0 || o.frontFps > 120 || o.rearFps > 120 ||
      o.frontWidth < 16 || o.frontHeight < 16 || o.rearWidth < 16 || o.rearHeight < 16 ||
      o.frontWidth > 4096 || o.frontHeight > 4096 || o.rearWidth > 4096 ||
      o.rearHeight > 4096 || o.frontWidth % 2 || o.frontHeight % 2 || o.rearWidth % 2 ||
      o.rearHeight % 2) {
    *error = "bad options (sizes must be even, 16..4096; rates 1..120)";
    return false;
  }
  std::mt19937_64 ids(o.seed);
  if (!FormatCard(dir, ids() | 1, error) || !WriteSettings(dir, error)) return false;
  std::mt19937 rng(o.seed);
  CGpsTrack gps(o.seed);
  // Recordings follow each other in time; the kinds take turns.
  const int order[4] = {kKindDriving, kKindEvent, kKindParking, kKindManual};
  std::time_t start = static_cast<std::time_t>(o.startTime);
  const int recordings = o.count > 0 ? o.count : o.perKind * 4;
  for (int r = 0; r < recordings; ++r) {
    const bool dual = o.frontOnlyEvery <= 0 || r % o.frontOnlyEvery != o.frontOnlyEvery - 1;
    if (!WriteRecording(dir, o, {order[r % 4], start, dual}, &gps, &rng, error)) return false;
    const bool tripEnds = o.tripEvery > 0 && (r + 1) % o.tripEvery == 0;
    start += o.seconds + (tripEnds ? kTripPauseSeconds : o.gapSeconds);
  }
  return true;
}

}  // namespace roadkeep::tools
