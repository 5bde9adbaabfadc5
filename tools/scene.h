// The picture a demo camera records: a moving road scene with the camera, the recording
// name, the clock time and the frame number written on it; the first frame of every second
// is a white flash (its audio has a click at the same instant, so A/V sync can be measured).
#pragma once

#include <string>

#include <opencv2/core.hpp>

namespace roadkeep::tools {

struct SceneText {
  const char* camera;       // "FRONT" or "REAR"
  std::string name;         // the recording name
  std::string clock;        // "2014-03-01 09:30:15"
  int frame = 0;            // frame number in the recording
  bool flash = false;
};

// Draws into image (BGR, its size is kept).
void DrawScene(const SceneText& text, cv::Mat* image);

}  // namespace roadkeep::tools
