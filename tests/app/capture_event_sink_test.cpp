// The engine's listener of the workflow: reports from other threads become
// events on the owner's thread, each with its own copy of what it carries.
#include "app/capture_event_sink.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QThread>
#include <thread>
#include <vector>

#include "support/debug_capture.h"
#include "workflow_test_support.h"

namespace ombrelo {
namespace {

// Keeps every event it receives, with the thread it was handled on.
class Collector : public QObject {
 public:
  struct Seen {
    WorkflowEventType type;
    int32_t movieId;
    int32_t value;
    std::string text;
    std::unique_ptr<FrameCopy> frame;
    bool onOwnerThread;
  };

  std::vector<Seen> seen;

 protected:
  void customEvent(QEvent* event) override {
    auto* e = dynamic_cast<WorkflowEvent*>(event);
    ASSERT_NE(e, nullptr);
    seen.push_back(Seen{e->Kind(), e->movieId, e->value, e->text ? e->text : "",
                        std::move(e->frame), QThread::currentThread() == thread()});
  }
};

TEST(CaptureEventSink, ProgressIsPerMilleTruncatedAndKeptInRange) {
  EXPECT_EQ(ProgressPerMille(999, 1000), 999);
  EXPECT_EQ(ProgressPerMille(1, 3), 333);
  EXPECT_EQ(ProgressPerMille(2, 3), 666);
  EXPECT_EQ(ProgressPerMille(250, 250), 1000);
  EXPECT_EQ(ProgressPerMille(260, 250), 1000);
  EXPECT_EQ(ProgressPerMille(-1, 250), 0);
  EXPECT_EQ(ProgressPerMille(5, 0), 0);
}

TEST(CaptureEventSink, ReportsFromOtherThreadsArriveAsEventsOnTheOwnersThread) {
  testing::EnsureGuiApplication();
  Collector collector;
  CaptureEventSink sink(&collector);
  testing::DebugCapture debug;
  sink.Reset(7, "/videos/a b.mp4");

  std::vector<uint8_t> pixels = {1, 2, 3, 4, 5, 6};
  std::thread engine([&] {
    CapturedFrame frame;
    frame.pixels = pixels.data();
    frame.size = static_cast<int32_t>(pixels.size());
    frame.frame = 25;
    frame.time = 1.0;
    sink.FrameCaptured(frame);
    frame.frame = 75;
    sink.FrameCaptured(frame);
    sink.SeekRequested(110);
    sink.StatusText(75, kStallMessageStandBy);
    sink.Progress(125, 250);
    sink.Progress(125, 250);  // the same per mille again: nothing to post
    sink.CaptureAbortNotice();
    sink.CaptureEnded(true);
    sink.CaptureEnded(false);  // only the first end counts
  });
  engine.join();
  pixels.assign(6, 0);  // the events hold copies
  ASSERT_TRUE(testing::RunUntil([&] { return collector.seen.size() >= 6; }));
  QCoreApplication::processEvents();
  ASSERT_EQ(collector.seen.size(), 6u);

  const auto& s = collector.seen;
  EXPECT_EQ(s[0].type, WorkflowEventType::frame);
  ASSERT_TRUE(s[0].frame);
  EXPECT_EQ(*s[0].frame->pixels, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(s[0].frame->size, 6);
  EXPECT_EQ(s[0].frame->frame, 25);
  EXPECT_EQ(s[0].frame->time, 1.0);
  EXPECT_EQ(s[0].frame->moviePath, "/videos/a b.mp4");
  EXPECT_EQ(s[0].frame->imageNumber, 0);
  EXPECT_EQ(s[0].frame->movieId, 7);
  EXPECT_EQ(s[1].frame->imageNumber, 1);
  EXPECT_EQ(s[2].type, WorkflowEventType::seek);
  EXPECT_EQ(s[2].value, 110);
  EXPECT_EQ(s[3].type, WorkflowEventType::statusText);
  EXPECT_EQ(s[3].text, kStallMessageStandBy);
  EXPECT_EQ(s[4].type, WorkflowEventType::progress);
  EXPECT_EQ(s[4].value, 500);
  EXPECT_EQ(s[5].type, WorkflowEventType::captureEnded);
  EXPECT_EQ(s[5].value, 1);
  for (const auto& seen : s) {
    EXPECT_EQ(seen.movieId, 7);
    EXPECT_TRUE(seen.onOwnerThread);
  }
  // The abort notice is only a debug line.
  EXPECT_TRUE(debug.Contains("Aborting..."));

  SCOPED_TRACE("the next movie numbers its images from 0 and may end again");
  sink.Reset(8, "/videos/next.mkv");
  CapturedFrame frame;
  frame.pixels = pixels.data();
  frame.size = 6;
  sink.FrameCaptured(frame);
  sink.CaptureEnded(false);
  ASSERT_TRUE(testing::RunUntil([&] { return collector.seen.size() >= 8; }));
  EXPECT_EQ(s[6].frame->imageNumber, 0);
  EXPECT_EQ(s[6].frame->moviePath, "/videos/next.mkv");
  EXPECT_EQ(s[7].movieId, 8);
  EXPECT_EQ(s[7].value, 0);
}

}  // namespace
}  // namespace ombrelo
