// The engine's listener of the workflow: a frame goes from the capture
// thread straight to the writer, named for its movie; the owner's thread
// only hears of it, through coalesced events keyed by the movie's id, and
// hears of the end after every frame's result.
#include "workflow/capture_event_sink.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <thread>
#include <vector>

#include "platform/qt/thread_calls.h"
#include "platform/thread_handoff.h"
#include "support/debug_capture.h"
#include "workflow_test_support.h"

namespace ombrelo {
namespace {

CaptureEnd Ended(bool completed) {
  CaptureEnd end;
  end.completed = completed;
  return end;
}

// Keeps every event it receives, with the thread it was handled on.
class Collector : public QObject {
 public:
  struct Seen {
    WorkflowEventType type;
    int32_t movieId;
    int32_t value;
    std::string text;
    bool onOwnerThread;
  };

  std::vector<Seen> seen;
  std::function<void(WorkflowEvent&)> onEvent;

 protected:
  void customEvent(QEvent* event) override {
    Received(event);
    auto* e = dynamic_cast<WorkflowEvent*>(event);
    ASSERT_NE(e, nullptr);
    seen.push_back(Seen{e->Kind(), e->movieId, e->value, e->text ? e->text : "",
                        QThread::currentThread() == thread()});
    if (e->call) e->call();
    if (onEvent) onEvent(*e);
  }
};

int IndexOf(const std::vector<Collector::Seen>& seen, WorkflowEventType type, int nth = 0) {
  for (size_t i = 0; i < seen.size(); ++i) {
    if (seen[i].type == type && nth-- == 0) return static_cast<int>(i);
  }
  return -1;
}

TEST(CaptureEventSink, ProgressIsPerMilleTruncatedAndKeptInRange) {
  EXPECT_EQ(ProgressPerMille(999, 1000), 999);
  EXPECT_EQ(ProgressPerMille(1, 3), 333);
  EXPECT_EQ(ProgressPerMille(2, 3), 666);
  EXPECT_EQ(ProgressPerMille(250, 250), 1000);
  EXPECT_EQ(ProgressPerMille(260, 250), 1000);
  EXPECT_EQ(ProgressPerMille(-1, 250), 0);
  EXPECT_EQ(ProgressPerMille(5, 0), 0);
}

// Thumbnails of two pixels (a row of BGR padded to 8 bytes) named from prefix.
ThumbnailNaming TwoPixelNaming(const std::string& prefix) {
  ThumbnailNaming naming;
  naming.prefix = prefix;
  naming.videoFormat.biWidth = 2;
  naming.videoFormat.biHeight = 1;
  naming.videoFormat.biBitCount = 24;
  naming.videoFormat.biSizeImage = 8;
  return naming;
}

TEST(CaptureEventSink, FramesGoToTheWriterAndTheOwnerHearsOnlyWhatHappened) {
  testing::EnsureGuiApplication();
  testing::TempFolder folder("event-sink");
  Collector collector;
  ThreadCalls calls;  // the one way from the workers to the owner, as in the controller
  std::vector<std::string> written;  // on the owner's thread, in order
  FrameWriter writer([&](FrameWriter::Result result) {
    calls.Post([&, movieId = result.job.movieId, path = result.job.path, ok = result.written] {
      WorkflowEvent event(WorkflowEventType::workDone, movieId);
      event.call = [&written, path, ok] { written.push_back(ok ? path : "failed"); };
      QCoreApplication::sendEvent(&collector, &event);
    });
  });
  CaptureEventSink sink(calls, &collector, writer);
  sink.Reset(7, "/videos/a b.mp4");
  ThumbnailNaming naming = TwoPixelNaming(folder / "a_b/a_b");

  std::vector<uint8_t> pixels = {1, 2, 3, 4, 5, 6, 0, 0};
  std::thread capture([&] {
    CapturedFrame frame;
    frame.pixels = pixels.data();
    frame.size = static_cast<int32_t>(pixels.size());
    frame.frame = 25;
    frame.time = 1.0;
    sink.FrameCaptured(frame);  // waits for the movie's naming
    frame.frame = 75;
    frame.time = 3.0;
    sink.FrameCaptured(frame);
    sink.StatusText(75, kStallMessageStandBy);
    sink.Progress(125, 250);
    sink.Progress(130, 250);  // not yet shown: one event for both
    sink.CaptureEnded(Ended(true));
    sink.CaptureEnded(Ended(false));  // only the first end counts
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  QCoreApplication::processEvents();
  EXPECT_TRUE(collector.seen.empty()) << "nothing before the movie is named";
  sink.SetNaming(naming);
  capture.join();
  pixels.assign(8, 0);  // the writer and the preview hold copies
  ASSERT_TRUE(testing::RunUntil(
      [&] { return IndexOf(collector.seen, WorkflowEventType::captureEnded) >= 0; }));
  QCoreApplication::processEvents();

  const auto& s = collector.seen;
  EXPECT_EQ(written, (std::vector<std::string>{folder / "a_b/a_b_0h00m01.000s.jpg",
                                               folder / "a_b/a_b_0h00m03.000s.jpg"}));
  EXPECT_GT(IndexOf(s, WorkflowEventType::captureEnded), IndexOf(s, WorkflowEventType::workDone, 1))
      << "the end comes after every frame's result";
  EXPECT_EQ(s[IndexOf(s, WorkflowEventType::captureEnded)].value, 1);
  EXPECT_EQ(IndexOf(s, WorkflowEventType::captureEnded, 1), -1);
  ASSERT_GE(IndexOf(s, WorkflowEventType::statusText), 0);
  EXPECT_EQ(s[IndexOf(s, WorkflowEventType::statusText)].text, kStallMessageStandBy);
  for (const auto& seen : s) {
    EXPECT_EQ(seen.movieId, 7);
    EXPECT_TRUE(seen.onOwnerThread);
  }

  SCOPED_TRACE("previews and progress are coalesced: the newest is shown");
  EXPECT_EQ(IndexOf(s, WorkflowEventType::preview, 1), -1);
  EXPECT_EQ(IndexOf(s, WorkflowEventType::progress, 1), -1);
  const std::shared_ptr<const FrameCopy> preview = sink.TakePreview();
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->frame, 75);
  EXPECT_EQ(preview->imageNumber, 1);
  EXPECT_EQ(preview->movieId, 7);
  EXPECT_EQ(preview->moviePath, "/videos/a b.mp4");
  EXPECT_EQ(*preview->pixels, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 0, 0}));
  EXPECT_EQ(sink.TakeProgress(), 520);
  sink.Progress(130, 250);  // shown already: nothing to post
  QCoreApplication::processEvents();
  EXPECT_EQ(IndexOf(collector.seen, WorkflowEventType::progress, 1), -1);

  SCOPED_TRACE("the next movie numbers its images from 0 and may end again");
  sink.Reset(8, "/videos/next.mkv");
  naming.prefix = folder / "next/next";
  naming.settings.notimetag = true;
  sink.SetNaming(naming);
  CapturedFrame frame;
  frame.pixels = pixels.data();
  frame.size = 8;
  sink.FrameCaptured(frame);
  sink.CaptureEnded(Ended(false));
  ASSERT_TRUE(testing::RunUntil(
      [&] { return IndexOf(collector.seen, WorkflowEventType::captureEnded, 1) >= 0; }));
  EXPECT_EQ(written.back(), folder / "next/next.jpg");
  EXPECT_EQ(sink.TakePreview()->imageNumber, 0);
  EXPECT_EQ(collector.seen[IndexOf(collector.seen, WorkflowEventType::captureEnded, 1)].value, 0);

  SCOPED_TRACE("a frame waiting for a naming that never comes is dropped on Detach");
  sink.Reset(9, "/videos/third.mp4");
  std::thread late([&] { sink.FrameCaptured(frame); });
  sink.Detach();
  late.join();
  EXPECT_FALSE(sink.TakePreview());
}

}  // namespace
}  // namespace ombrelo
