// frame: one exact frame of a recording's camera as a JPEG at the camera's own size, through
// the viewer's own player and decoder (an exact seek, then the snapshot's save).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "decoding/decoder.h"
#include "platform/safe_text.h"
#include "playback/player.h"
#include "platform/video_surface.h"
#include "tat/card.h"
#include "tat/tat_library.h"
#include "tat/tat_parser.h"
#include "tools/commands.h"

using roadkeep::platform::TerminalText;

namespace {

constexpr char kUsage[] =
    "usage: roadkeep-tool frame DIR NAME --frame N --out FILE.jpg [--camera front|rear]\n";

int Fail(const std::string& why) {
  std::fprintf(stderr, "roadkeep-tool: frame: %s\n", TerminalText(why).c_str());
  return 1;
}

// A whole non-negative number that fits an int; anything else is refused.
bool ParseFrame(const char* text, long long* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtoll(text, &end, 10);
  return end != text && *end == '\0' && errno == 0;
}

}  // namespace

int FrameCommand(int argc, char** argv) {
  std::string dir, name, out, camera = "front", frameText;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--frame" && hasValue) frameText = argv[++i];
    else if (arg == "--out" && hasValue) out = argv[++i];
    else if (arg == "--camera" && hasValue) camera = argv[++i];
    else if (arg.rfind("--", 0) != 0 && dir.empty()) dir = arg;
    else if (arg.rfind("--", 0) != 0 && name.empty()) name = arg;
    else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (dir.empty() || name.empty() || out.empty() || frameText.empty() ||
      (camera != "front" && camera != "rear")) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  long long frame = 0;
  if (!ParseFrame(frameText.c_str(), &frame)) return Fail("'" + frameText + "' is not a frame number");
  std::string problem;
  TatHandle* library = OpenCardAt(dir, &problem);
  if (library == nullptr) return Fail(problem);
  const std::vector<Recording> named = RecordingsNamed(library, name);
  int status = 0;
  if (named.empty()) {
    status = Fail(name + ": no such recording on the card");
  } else if (frame < 0 || frame >= static_cast<long long>(named[0].counts.front)) {
    status = Fail("frame " + frameText + " is not in " + name + " (its frames are 0 to " +
                  std::to_string(static_cast<long long>(named[0].counts.front) - 1) + ")");
  } else if (camera == "rear" && named[0].CameraCount() != 2) {
    status = Fail(name + " has no rear camera");
  } else {
    CTATParser parser;
    CDecoder decoder;
    CHeadlessSurface front(320, 180), rear(320, 180);  // the saved picture keeps its own size
    CQMVMediaPlayer player;
    parser.SetLibrary(library);
    player.SetParser(&parser);
    player.SetDecoder(&decoder);
    player.StartEngine(&front, &rear);
    player.OpenMedia(named[0].Identity());
    player.PausePlayback();
    player.SeekToFrame(static_cast<int>(frame));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (player.CommandValue() != CQMVMediaPlayer::kIdle &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int expectedMs = static_cast<int>(frame * 1000 / std::max(named[0].frontFps, 1));
    if (player.CommandValue() != CQMVMediaPlayer::kIdle || player.GetPositionMs() != expectedMs) {
      status = Fail("frame " + frameText + " of " + name + " could not be decoded");
    } else if (!player.SaveSnapshot(camera == "rear" ? 1 : 0, out.c_str())) {
      status = Fail("could not write " + out);
    } else {
      std::printf("%s: frame %lld of %s, %s camera\n", TerminalText(out).c_str(), frame,
                  TerminalText(name).c_str(),
                  camera.c_str());
    }
    player.StopMedia();
    player.Shutdown();
  }
  TatRelease(library);
  return status;
}
