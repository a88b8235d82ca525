#pragma once
// A front end of the workflow benchmarks: shows nothing, counts what the
// controller reports and, when asked, keeps its steps with their times.
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "project/movie.h"
#include "workflow/workflow_controller.h"

namespace ombrelo::bench {

using Clock = std::chrono::steady_clock;

class QuietPort {
 public:
  void Listen(WorkflowController& controller) {
    using W = WorkflowController;
    QObject::connect(&controller, &W::statusChanged, &controller, [this](const std::string& text) {
      if (timeline) steps.emplace_back(text, Clock::now());
    });
    QObject::connect(&controller, &W::movieNotOpened, &controller,
                     [this](const Movie&, const std::string&) { ++notOpened; });
    QObject::connect(&controller, &W::previewFrame, &controller,
                     [this](const FrameCopy&) { ++frames; });
    QObject::connect(&controller, &W::indexPhotoFinished, &controller, [this](const Movie&, bool) {
      if (timeline) steps.emplace_back("index photo finished", Clock::now());
    });
    QObject::connect(&controller, &W::movieFinished, &controller,
                     [this](const Movie&) { ++finished; });
    QObject::connect(&controller, &W::runFinished, &controller, [this] { runFinished = true; });
  }

  bool timeline = false;  // keep the steps with their times
  std::vector<std::pair<std::string, Clock::time_point>> steps;
  int64_t notOpened = 0;
  int finished = 0;
  int frames = 0;
  bool runFinished = false;
};

}  // namespace ombrelo::bench
