#include "tools/scene.h"

#include <cstdio>

#include <opencv2/imgproc.hpp>

namespace roadkeep::tools {

void DrawScene(const SceneText& text, cv::Mat* image) {
  cv::Mat& m = *image;
  const int w = m.cols, h = m.rows;
  const double s = h / 720.0;  // text and line scale
  if (text.flash) {
    m.setTo(cv::Scalar(255, 255, 255));
  } else {
    // Sky and road, with lane marks running towards the viewer.
    // The rear camera looks back into the evening: a different sky tells the panes apart.
    const bool rear = text.camera[0] == 'R';
    m(cv::Rect(0, 0, w, h / 2)).setTo(rear ? cv::Scalar(60, 100, 170) : cv::Scalar(120, 80, 40));
    m(cv::Rect(0, h / 2, w, h - h / 2)).setTo(cv::Scalar(60, 60, 60));
    const cv::Point horizon(w / 2, h / 2);
    cv::line(m, horizon, cv::Point(0, h), cv::Scalar(220, 220, 220), std::max(1, int(4 * s)));
    cv::line(m, horizon, cv::Point(w, h), cv::Scalar(220, 220, 220), std::max(1, int(4 * s)));
    for (int k = 0; k < 6; ++k) {
      const double phase = ((text.frame * 4 + k * 40) % 240) / 240.0;
      const double y0 = h / 2 + phase * phase * h / 2, y1 = y0 + (h / 2) * 0.08 * phase;
      cv::line(m, cv::Point(w / 2, int(y0)), cv::Point(w / 2, int(std::min<double>(y1, h - 1))),
               cv::Scalar(0, 215, 255), std::max(1, int(10 * s * phase)));
    }
    // A block that moves across, so every frame differs.
    const int x = (text.frame * 7) % std::max(1, w);
    cv::rectangle(m, cv::Rect(x, h / 2 - int(60 * s), int(80 * s), int(50 * s)),
                  cv::Scalar(40, 40, 200), cv::FILLED);
  }
  const cv::Scalar ink = text.flash ? cv::Scalar(0, 0, 0) : cv::Scalar(255, 255, 255);
  const int font = cv::FONT_HERSHEY_SIMPLEX;
  const int thick = std::max(1, int(2 * s));
  char frame[32];
  std::snprintf(frame, sizeof frame, "frame %d", text.frame);
  cv::putText(m, text.camera, cv::Point(int(20 * s), int(50 * s)), font, 1.4 * s, ink, thick + 1);
  cv::putText(m, text.name, cv::Point(int(20 * s), int(95 * s)), font, 0.9 * s, ink, thick);
  cv::putText(m, text.clock, cv::Point(int(20 * s), h - int(60 * s)), font, 1.0 * s, ink, thick);
  cv::putText(m, frame, cv::Point(int(20 * s), h - int(20 * s)), font, 1.0 * s, ink, thick);
}

}  // namespace roadkeep::tools
