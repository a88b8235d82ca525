#pragma once
// Helpers for the workflow tests: one QGuiApplication for the test program,
// an event pump with a time-out, generated videos shared by the tests, and a
// recorder of everything the controller publishes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "project/movie.h"
#include "support/debug_capture.h"
#include "support/gui_application.h"
#include "support/test_videos.h"
#include "tools/testvideo/test_video.h"
#include "workflow/frame_output.h"
#include "workflow/workflow_controller.h"

namespace ombrelo::testing {

// Runs the event loop until done() holds; false (and a test failure) when
// it does not within the limit.
inline bool RunUntil(const std::function<bool()>& done,
                     std::chrono::seconds limit = std::chrono::seconds(90)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  // The loop waits for events; the timer wakes it now and then for a
  // condition that another thread changes without an event.
  QTimer wake;
  wake.start(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the workflow did not get there in time";
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// Videos made once per test program and shared by its tests.
class TestVideos {
 public:
  static TestVideos& Get() {
    static TestVideos videos;
    return videos;
  }
  // A frame-numbered video of `frames` frames at 25 per second.
  std::string Make(const std::string& name, int64_t frames = 250, const std::string& codec = "") {
    testvideo::VideoOptions options = SmallVideo(frames);
    options.codec = codec;
    return cache_.Make(options, name);
  }
  std::string Make(const testvideo::VideoOptions& options, const std::string& name) {
    return cache_.Make(options, name);
  }
  // An AVI whose video names a codec no decoder knows (the open fails at
  // the connection step), written to path.
  bool MakeUndecodable(const std::string& path) {
    std::string bytes = ReadFileBytes(Make("source.avi", 100, "mpeg4"));
    int replaced = 0;
    for (const char* tag : {"XVID", "FMP4"}) {
      for (size_t at = bytes.find(tag); at != std::string::npos && at < 4096;
           at = bytes.find(tag, at + 4)) {
        bytes.replace(at, 4, "QQZZ");
        ++replaced;
      }
    }
    return replaced >= 2 && WriteFileBytes(path, bytes);
  }

 private:
  VideoCache cache_{"app-videos"};
};

// What the controller published, in order, as "kind: detail" lines, plus
// the pieces tests look at most.
class RunRecorder {
 public:
  // Listens to everything the controller publishes.
  void Listen(WorkflowController& controller) {
    QObject* c = &controller;
    using W = WorkflowController;
    QObject::connect(&controller, &W::statusChanged, c, [this](const std::string& text) {
      statusTexts.push_back(text);
      Log("status: " + text);
    });
    QObject::connect(&controller, &W::commandsChanged, c,
                     [this](CommandStates states) { commands = states; });
    QObject::connect(&controller, &W::runStarted, c, [this] {
      errors.clear();
      Log("run started");
    });
    const auto failed = [this](const Movie& movie, const std::string& errorText) {
      errors.push_back(errorText);
      notOpened.push_back(movie.id());
      EXPECT_EQ(movie.status, kMovieFailed);
      Log("error: " + errorText);
    };
    QObject::connect(&controller, &W::movieNotOpened, c, failed);
    QObject::connect(&controller, &W::movieFailed, c, failed);
    QObject::connect(&controller, &W::movieStarted, c, [this](const Movie& movie) {
      startedIds.push_back(movie.id());
      started.push_back(movie.path());
      Log("started: " + movie.path());
    });
    QObject::connect(&controller, &W::progress, c, [this](int32_t movieId, int perMille) {
      EXPECT_EQ(movieId, startedIds.empty() ? -1 : startedIds.back());
      progress.push_back(perMille);
    });
    QObject::connect(&controller, &W::countsChanged, c,
                     [this](int32_t movieId, int video, int videos, int thumbnails, int promised) {
                       EXPECT_EQ(movieId, startedIds.empty() ? -1 : startedIds.back());
                       Log("counts: " + std::to_string(video) + "/" + std::to_string(videos) + " " +
                           std::to_string(thumbnails) + "/" + std::to_string(promised));
                     });
    QObject::connect(&controller, &W::previewFrame, c, [this](const FrameCopy& frame) {
      EXPECT_EQ(frame.movieId, startedIds.empty() ? -1 : startedIds.back());
      ++frames;
      if (onFrame) onFrame(frame);
    });
    QObject::connect(&controller, &W::movieFinished, c, [this](const Movie& movie) {
      finished.push_back(movie.path());
      Log("finished: " + movie.path());
    });
    QObject::connect(
        &controller, &W::indexPhotoFinished, c, [this](const Movie& movie, bool written) {
          Log(std::string(written ? "index photo: " : "index photo failed: ") + movie.path());
        });
    QObject::connect(&controller, &W::runFinished, c, [this] {
      ++runsFinished;
      Log("run finished");
    });
    QObject::connect(&controller, &W::runCompleted, c, [this](int indexed, int failedCount) {
      completed.emplace_back(indexed, failedCount);
      Log("run completed: " + std::to_string(indexed) + " indexed, " + std::to_string(failedCount) +
          " failed");
    });
    QObject::connect(&controller, &W::helpRequested, c,
                     [this](const std::string& name, HelpMode mode) {
                       helpPages.push_back(name);
                       Log("help: " + name + (mode == HelpMode::notice ? " (notice)" : ""));
                       if (onHelpPage) onHelpPage(name);
                     });
    QObject::connect(&controller, &W::codecHelpRequested, c,
                     [this](const std::string& moviePath, const std::string& address) {
                       codecHelp.push_back(moviePath);
                       Log("codec help: " + moviePath + " " + address);
                     });
    QObject::connect(&controller, &W::decodingProblemsFound, c,
                     [this](const std::vector<std::string>& paths) {
                       decodingProblems.push_back(paths);
                       Log("decoding problems");
                     });
    QObject::connect(&controller, &W::messageRequested, c, [this](const Message& message) {
      // Told on the owner's thread, as a notice: a box may be shown there.
      EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
      messages.push_back(message);
      Log("message: " + message.text);
    });
  }

  // Index of the first log line equal to the text; -1 when there is none.
  int Find(const std::string& line) const {
    for (size_t i = 0; i < log.size(); ++i) {
      if (log[i] == line) return static_cast<int>(i);
    }
    return -1;
  }

  std::vector<std::string> log;
  std::vector<std::string> statusTexts;
  std::vector<std::string> errors;
  std::vector<std::string> started;
  std::vector<int32_t> startedIds;
  std::vector<int32_t> notOpened;
  std::vector<std::string> finished;
  std::vector<std::string> helpPages;
  std::vector<std::string> codecHelp;
  std::vector<std::vector<std::string>> decodingProblems;
  std::vector<Message> messages;               // messageRequested
  std::vector<std::pair<int, int>> completed;  // indexed, failed
  std::vector<int> progress;
  CommandStates commands;
  int frames = 0;
  int runsFinished = 0;
  std::function<void(const FrameCopy&)> onFrame;
  // Called while a help page is shown (a modal one returns when it is done).
  std::function<void(const std::string&)> onHelpPage;

 private:
  void Log(const std::string& line) { log.push_back(line); }
};

}  // namespace ombrelo::testing
