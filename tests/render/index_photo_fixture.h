#pragma once
// What the index photo tests share: an owner of the generator as the main
// window would be, the owner's part of making a photo, and a generator with
// folders of its own and a clock the test sets.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "html_test_support.h"
#include "render/index_photo.h"
#include "support/debug_capture.h"

namespace ombrelo::testing {

// The owner of the generator as the main window would be: posts the poll to
// its event loop and keeps what the generator tells it.
class TestHost : public IndexPhotoHost {
 public:
  explicit TestHost(std::string temporaryFolder) : temporaryFolder_(std::move(temporaryFolder)) {}

  std::string TemporaryFolder() override { return temporaryFolder_; }
  // The page writer of a movie's photo: records the page and writes it
  // with writePage.
  std::function<bool(const std::string& page)> PageOf(int32_t movieId) {
    return [this, movieId](const std::string& page) {
      generatedFor.push_back(movieId);
      pages.push_back(page);
      return writePage && writePage(page);
    };
  }
  void PostPoll() override {
    ++pollsPosted;
    if (postToEventLoop) {
      // Queued on an object of ours, so that no poll outlives the test.
      QMetaObject::invokeMethod(
          &context_, [this] { generator->Poll(); }, Qt::QueuedConnection);
    }
  }
  void SetMovieError(int32_t movieId, const std::string& text) override {
    errors.emplace_back(movieId, text);
  }
  void IndexPhotoFinished(int32_t movieId, bool written) override {
    finished.emplace_back(movieId, written);
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
      reportedOffThread = true;
  }

  IndexPhotoGenerator* generator = nullptr;
  bool postToEventLoop = true;
  bool reportedOffThread = false;
  std::function<bool(const std::string& page)> writePage;
  std::vector<int32_t> generatedFor;
  std::vector<std::string> pages;
  std::vector<std::pair<int32_t, std::string>> errors;
  std::vector<std::pair<int32_t, bool>> finished;
  int pollsPosted = 0;

 private:
  std::string temporaryFolder_;
  QObject context_;
};

// The owner's part of a photo, as the workflow controller takes it: the page
// is written by write, then handed to the generator, or the photo fails.
inline void MakePhoto(IndexPhotoGenerator& generator, int32_t movieId, const std::string& output,
                      int width, int height, int quality,
                      const std::function<bool(const std::string& page)>& write) {
  const std::string page = generator.NextPage();
  if (write(page)) {
    generator.RenderParts(movieId, {{page, output}}, width, height, quality);
  } else {
    generator.PageFailed(movieId, output);
  }
}

class IndexPhotoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    host_.generator = &generator_;
  }

  // Runs the event loop until the pending photo has finished.
  bool Finished() {
    return PumpEventsUntil([&] { return !generator_.Pending(); });
  }

  // A page with a simple picture, for the tests that need any page.
  std::function<bool(const std::string&)> SimplePage() {
    return [](const std::string& page) {
      return WriteFileBytes(page, "<html><body style=\"background:#00ff00\"></body></html>");
    };
  }

  uint64_t now_ = 5000;
  TempFolder temp_{"indexphoto-tmp"};
  TempFolder out_{"indexphoto-out"};
  TestHost host_{temp_.Path()};
  IndexPhotoGenerator generator_{host_, [this] { return now_; }};
};

}  // namespace ombrelo::testing
