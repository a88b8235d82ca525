#include "crash/crash_snapshot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "project/project.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using std::chrono::milliseconds;

// The keeper's time and event loop, driven by the test.
struct FakeLoop {
  struct Task {
    milliseconds delay;
    std::function<void()> run;
  };
  CrashSnapshotKeeper::Clock::time_point now{std::chrono::hours(1)};
  std::vector<Task> tasks;

  CrashSnapshotKeeper::Scheduler Scheduler() {
    return [this](milliseconds delay, std::function<void()> run) {
      tasks.push_back({delay, std::move(run)});
    };
  }
  CrashSnapshotKeeper::Now Now() {
    return [this] { return now; };
  }
  // Runs the waiting tasks (after their delay has passed on the clock).
  void RunTasks() {
    std::vector<Task> due;
    due.swap(tasks);
    for (Task& task : due) {
      now += task.delay;
      task.run();
    }
  }
};

void AddIndexedMovie(CProject& project, const std::string& path, int thumbnails) {
  const int32_t id = project.AddMovie(path);
  project.SetMovieStatus(id, kMovieDone);
  for (int i = 0; i < thumbnails; ++i) {
    project.RecordImage(
        id, {path + "_" + std::to_string(i) + ".jpg", static_cast<uint32_t>(i), i * 1.0});
  }
}

TEST(CrashSnapshot, ChangesAreTakenAtMostOncePerIntervalAndTheFirstAfterAQuietOneAtOnce) {
  CProject project("/videos/");
  AddIndexedMovie(project, "/videos/before.avi", 3);
  FakeLoop loop;
  CrashSnapshotKeeper keeper(project, loop.Scheduler(), loop.Now(), milliseconds(250));
  keeper.Flush();
  // The project is taken at once.
  EXPECT_EQ(CrashSnapshotText(), project.FileText());
  EXPECT_TRUE(loop.tasks.empty());

  // A burst of changes 10 ms after the last renewal: one renewal, when the
  // interval is over.
  loop.now += milliseconds(10);
  for (int i = 0; i < 50; ++i)
    AddIndexedMovie(project, "/videos/burst " + std::to_string(i) + ".mkv", 2);
  ASSERT_EQ(loop.tasks.size(), 1u);
  EXPECT_EQ(loop.tasks[0].delay, milliseconds(240));
  EXPECT_NE(CrashSnapshotText(), project.FileText()) << "not yet";
  loop.RunTasks();
  keeper.Flush();  // waits for the writer; nothing is left to hand over
  EXPECT_EQ(CrashSnapshotText(), project.FileText());
  EXPECT_EQ(keeper.costs().handovers, 2);

  // Soon after: waits for the rest of the interval.
  loop.now += milliseconds(100);
  project.SetMovieStatus(project.Movies().front().id(), kMovieFailed);
  ASSERT_EQ(loop.tasks.size(), 1u);
  EXPECT_EQ(loop.tasks[0].delay, milliseconds(150));
  loop.RunTasks();

  // After a quiet while: at once (from the event loop, so that changes made
  // together are still taken together).
  loop.now += milliseconds(5000);
  project.SetHtmlFolder("/out");
  ASSERT_EQ(loop.tasks.size(), 1u);
  EXPECT_EQ(loop.tasks[0].delay, milliseconds(0));
  loop.RunTasks();
  keeper.Flush();
  EXPECT_EQ(CrashSnapshotText(), project.FileText());
  EXPECT_EQ(keeper.costs().handovers, 4);
  EXPECT_EQ(keeper.costs().notices, 50 * 4 + 2);
}

TEST(CrashSnapshot, TheSnapshotFollowsEveryKindOfChange) {
  testing::TempFolder folder("crash-snapshot");
  CProject other("/elsewhere/");
  AddIndexedMovie(other, "/elsewhere/loaded.avi", 4);
  ASSERT_TRUE(other.Save(folder / "other.obx"));

  CProject project("/videos/");
  FakeLoop loop;
  CrashSnapshotKeeper keeper(project, loop.Scheduler(), loop.Now());
  int32_t first = -1;
  const struct {
    const char* name;
    std::function<void()> change;
  } cases[] = {
      {"movies with thumbnails",
       [&] {
         AddIndexedMovie(project, "/videos/a & b.avi", 3);
         AddIndexedMovie(project, "/videos/ünïcode.mkv", 2);
         first = project.Movies().front().id();
       }},
      {"opened",
       [&] {
         project.MarkOpened(first, MovieProperties{12.5, 99, {}});
       }},
      {"an image recorded and one removed",
       [&] {
         project.RecordImage(first, {"/t/new.jpg", 7, 0.28});
         project.RemoveImage(project.Movies().back().id(), "/videos/ünïcode.mkv_0.jpg");
       }},
      {"outputs and an error",
       [&] {
         project.SetMovieHtml(first, "/o/a.html");
         project.AddMovieError(first, "Stalled\n");
       }},
      {"re-added: the old record goes, the new one is last",
       [&] { project.AddMovie("/videos/a & b.avi"); }},
      {"settings",
       [&] {
         project.SetThumbsFolder("/thumbs");
         project.UpdateCapture([](CaptureSettings& c) { c.jpegquality = 12; });
       }},
      {"removed", [&] { project.RemoveMovie("/videos/ünïcode.mkv"); }},
      {"loaded", [&] { ASSERT_TRUE(project.Load(folder / "other.obx")); }},
      {"a movie of the loaded project",
       [&] {
         project.RecordImage(project.Movies().front().id(), {"/t/more.jpg", 9, 0.36});
       }},
      {"cleared", [&] { project.ClearMovies(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.change();
    loop.now += milliseconds(1000);
    loop.RunTasks();
    keeper.Flush();
    EXPECT_EQ(CrashSnapshotText(), project.FileText());
  }
}

TEST(CrashSnapshot, AWholeProjectIsCopiedInStepsAndWrittenWhenAllAreIn) {
  CProject project("/videos/");
  const size_t count = 2 * CrashSnapshotKeeper::kMoviesPerStep + 50;
  for (size_t i = 0; i < count; ++i) AddIndexedMovie(project, "/videos/" + std::to_string(i), 1);
  const std::string before = CrashSnapshotText();
  FakeLoop loop;
  CrashSnapshotKeeper keeper(project, loop.Scheduler(), loop.Now());
  // One step now, the next at the loop's next turn.
  EXPECT_EQ(keeper.costs().handovers, 1);
  ASSERT_EQ(loop.tasks.size(), 1u);
  EXPECT_EQ(loop.tasks[0].delay, milliseconds(0));
  // Between the steps a movie already taken changes and one not yet taken
  // goes; the snapshot is not replaced by a half copy.
  project.SetMovieStatus(project.Movies().front().id(), kMovieFailed);
  project.RemoveMovie(project.Movies().back().path());
  loop.RunTasks();
  EXPECT_EQ(CrashSnapshotText(), before);
  while (!loop.tasks.empty()) loop.RunTasks();
  EXPECT_EQ(keeper.costs().handovers, 3);
  keeper.Flush();
  EXPECT_EQ(CrashSnapshotText(), project.FileText());
}

TEST(CrashSnapshot, MoviesWithManyThumbnailsAreCopiedFewAtATime) {
  // Three steps: two movies, two movies, the last one.
  CProject project("/videos/");
  const int each = static_cast<int>(CrashSnapshotKeeper::kThumbnailsPerStep / 2);
  for (int i = 0; i < 5; ++i) AddIndexedMovie(project, "/videos/" + std::to_string(i), each);
  FakeLoop loop;
  CrashSnapshotKeeper keeper(project, loop.Scheduler(), loop.Now());
  while (!loop.tasks.empty()) loop.RunTasks();
  EXPECT_EQ(keeper.costs().handovers, 3);
  keeper.Flush();
  EXPECT_EQ(CrashSnapshotText(), project.FileText());
}

TEST(CrashSnapshot, ChangesNotYetTakenAreTakenWhenTheKeeperEnds) {
  CProject project("/videos/");
  FakeLoop loop;
  {
    CrashSnapshotKeeper keeper(project, loop.Scheduler(), loop.Now());
    AddIndexedMovie(project, "/videos/last.avi", 2);
    ASSERT_EQ(loop.tasks.size(), 1u);
  }
  EXPECT_EQ(CrashSnapshotText(), project.FileText());
  // The task left behind does nothing, and the project has no listener left.
  loop.RunTasks();
  project.AddMovie("/videos/after.avi");
  EXPECT_TRUE(loop.tasks.empty());
  EXPECT_NE(CrashSnapshotText(), project.FileText());
}

}  // namespace
}  // namespace ombrelo
