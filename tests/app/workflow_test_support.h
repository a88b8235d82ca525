#pragma once
// Helpers for the workflow tests: one QGuiApplication for the test program,
// an event pump with a time-out, generated videos shared by the tests, and a
// port that records everything the controller shows.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/frame_output.h"
#include "app/workflow_port.h"
#include "project/movie.h"
#include "support/debug_capture.h"
#include "support/gui_application.h"
#include "support/test_videos.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo::testing {

// Runs the event loop until done() holds; false (and a test failure) when
// it does not within the limit.
inline bool RunUntil(const std::function<bool()>& done,
                     std::chrono::seconds limit = std::chrono::seconds(90)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the workflow did not get there in time";
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
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

// What the controller showed, in order, as "kind: detail" lines, plus the
// pieces tests look at most.
class RecordingPort : public WorkflowPort {
 public:
  void SetStatusText(const std::string& text) override {
    statusTexts.push_back(text);
    Log("status: " + text);
  }
  void EnableCommands(const CommandStates& states) override { commands = states; }
  ClientSize MainWindowClientSize() override { return clientSize; }
  void ApplySettings() override { Log("apply settings"); }
  void ClearErrors() override {
    errors.clear();
    Log("clear errors");
  }
  void MovieNotOpened(const Movie& movie, const std::string& errorText) override {
    errors.push_back(errorText);
    notOpened.push_back(movie.id());
    EXPECT_EQ(movie.status, kMovieFailed);
    Log("error: " + errorText);
  }
  void MovieStarted(const Movie& movie) override {
    startedIds.push_back(movie.id());
    started.push_back(movie.path());
    Log("started: " + movie.path());
  }
  void ShowProgress(int32_t movieId, int perMille) override {
    EXPECT_EQ(movieId, startedIds.empty() ? -1 : startedIds.back());
    progress.push_back(perMille);
  }
  void ShowFrame(const FrameCopy& frame) override {
    EXPECT_EQ(frame.movieId, startedIds.empty() ? -1 : startedIds.back());
    ++frames;
    if (onFrame) onFrame(frame);
  }
  void MovieFinished(const Movie& movie) override {
    finished.push_back(movie.path());
    Log("finished: " + movie.path());
  }
  void IndexPhotoFinished(const Movie& movie, bool written) override {
    Log(std::string(written ? "index photo: " : "index photo failed: ") + movie.path());
  }
  void RemoveFromSelection(int32_t movieId) override { Log("unlist: " + std::to_string(movieId)); }
  void RefreshSelection() override { Log("refresh"); }
  void ShowHelpPage(const std::string& name, HelpMode mode) override {
    helpPages.push_back(name);
    Log("help: " + name + (mode == HelpMode::notice ? " (notice)" : ""));
    if (onHelpPage) onHelpPage(name);
  }
  void OpenCodecHelp(const std::string& moviePath, const std::string& address) override {
    codecHelp.push_back(moviePath);
    Log("codec help: " + moviePath + " " + address);
  }
  void ShowDecodingProblems(const std::vector<std::string>& paths) override {
    decodingProblems.push_back(paths);
    Log("decoding problems");
  }
  bool FirstRun() override { return firstRun; }
  void SavePreferences() override { Log("save preferences"); }
  void RunFinished() override {
    ++runsFinished;
    Log("run finished");
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
  std::vector<int> progress;
  CommandStates commands;
  ClientSize clientSize;
  bool firstRun = false;
  int frames = 0;
  int runsFinished = 0;
  std::function<void(const FrameCopy&)> onFrame;
  // Called while a help page is shown (a modal one returns when it is done).
  std::function<void(const std::string&)> onHelpPage;

 private:
  void Log(const std::string& line) { log.push_back(line); }
};

}  // namespace ombrelo::testing
