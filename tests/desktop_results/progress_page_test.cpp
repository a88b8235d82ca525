#include "app/desktop/results/progress_page.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <cstring>

#include "desktop_results/desktop_test_support.h"
#include "project/movie.h"
#include "workflow/frame_output.h"

namespace ombrelo::desktop {
namespace {

using testing::DesktopTest;

TEST(PreviewRect, ShrinksToThePageAndCentres) {
  struct Case {
    int pageW, pageH, frameW, frameH;
    QRect expected;
  } cases[] = {
      // Too wide and then too high: each step truncated.
      {400, 300, 640, 480, QRect(93, 90, 213, 160)},
      // Fits: centred in the page below the 70-pixel top margin.
      {800, 600, 320, 240, QRect(240, 215, 320, 240)},
      // Only too high.
      {800, 340, 320, 240, QRect(267, 105, 266, 200)},
      // No frame yet.
      {400, 300, 0, 0, QRect()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PreviewRect(c.pageW, c.pageH, c.frameW, c.frameH), c.expected)
        << c.frameW << "x" << c.frameH << " in " << c.pageW << "x" << c.pageH;
  }
}

// A 640 x 480 top-down BGR frame: the upper half of the picture red, the
// lower half of the given colour.
FrameCopy MakeFrame(int32_t movieId, QColor lower) {
  const int stride = 640 * 3;
  auto pixels = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(stride) * 480);
  for (int row = 0; row < 480; ++row) {
    const QColor c = row < 240 ? QColor(Qt::red) : lower;
    for (int x = 0; x < 640; ++x) {
      uint8_t* p = pixels->data() + row * stride + x * 3;
      p[0] = c.blue();
      p[1] = c.green();
      p[2] = c.red();
    }
  }
  FrameCopy frame;
  frame.movieId = movieId;
  frame.size = static_cast<int32_t>(pixels->size());
  frame.pixels = std::move(pixels);
  return frame;
}

Movie MovieOf640x480() {
  Movie movie("/videos/holiday & more.mp4", CaptureSettings{});
  movie.videoFormat.biWidth = 640;
  movie.videoFormat.biHeight = 480;
  movie.videoFormat.biBitCount = 24;
  return movie;
}

class ProgressPageTest : public DesktopTest {
 protected:
  // The page at 400 x 300 on screen, indexing the 640 x 480 movie.
  void Start() {
    page_.resize(400, 300);
    page_.show();
    page_.MovieStarted(movie_);
  }
  ProgressPage page_;
  const Movie movie_ = MovieOf640x480();
};

TEST_F(ProgressPageTest, PaintsTheNewestFrameUprightAtItsPlace) {
  ProgressPage& page = page_;
  const Movie& movie = movie_;
  Start();
  EXPECT_EQ(page.MovieName(), "/videos/holiday & more.mp4");
  EXPECT_TRUE(page.CurrentPreviewRect().isEmpty());  // nothing before the first frame

  page.ShowFrame(MakeFrame(movie.id(), Qt::green));
  page.ShowFrame(MakeFrame(movie.id(), Qt::blue));
  page.ShowFrame(MakeFrame(movie.id() + 1, Qt::green));  // late, of another movie
  const QRect rect = page.CurrentPreviewRect();
  ASSERT_EQ(rect, QRect(93, 90, 213, 160));
  // The frames are scaled off the window's thread: the newest arrives.
  QImage shot;
  ASSERT_TRUE(testing::WaitFor([&] {
    shot = page.grab().toImage();
    return testing::Near(shot.pixelColor(rect.center().x(), rect.bottom() - 10), Qt::blue);
  }));
  // At the size it is shown at, and upright: red at the top of the
  // rectangle, the newest frame's blue below.
  EXPECT_EQ(page.ScaledPreviewSize(), rect.size() * page.devicePixelRatio());
  EXPECT_TRUE(testing::Near(shot.pixelColor(rect.center().x(), rect.top() + 10), Qt::red));
  // Outside the rectangle the page shows through.
  EXPECT_FALSE(testing::Near(shot.pixelColor(rect.left() - 5, rect.center().y()), Qt::blue));
}

TEST_F(ProgressPageTest, FramesFasterThanTheScreenArePaintedAtTheScreensPace) {
  ProgressPage& page = page_;
  const Movie& movie = movie_;
  Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
  const int before = page.PreviewPaints();
  QElapsedTimer timer;
  timer.start();
  const int frames = 200;
  for (int i = 0; i < frames; ++i) {
    page.ShowFrame(MakeFrame(movie.id(), i == frames - 1 ? QColor(Qt::blue) : QColor(Qt::green)));
    QApplication::processEvents();
  }
  // Once quiet, the last frame is shown.
  testing::WaitFor([&] { return page.PreviewPaints() > before; });
  for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
  const int paints = page.PreviewPaints() - before;
  // At most one paint per 16 ms of the burst, plus the one after it.
  EXPECT_LE(paints, timer.elapsed() / 16 + 2) << "in " << timer.elapsed() << " ms";
  EXPECT_LT(paints, frames);
  const QRect rect = page.CurrentPreviewRect();
  EXPECT_TRUE(testing::WaitFor([&] {
    const QImage shot = page.grab().toImage();
    return testing::Near(shot.pixelColor(rect.center().x(), rect.bottom() - 10), Qt::blue);
  }));
}

TEST_F(ProgressPageTest, ThePreviewFollowsThePagesSizeAndDropsTheFramesOfTheMovieBefore) {
  Start();
  page_.ShowFrame(MakeFrame(movie_.id(), Qt::blue));
  ASSERT_TRUE(testing::WaitFor([&] { return !page_.ScaledPreviewSize().isEmpty(); }));
  // A larger page: the frame is scaled again to its new place.
  page_.resize(800, 600);
  const QRect larger = page_.CurrentPreviewRect();
  ASSERT_GT(larger.width(), 213);
  // In the lower half of the frame (its bottom is under the buttons).
  const QPoint lower(larger.center().x(), larger.center().y() + larger.height() / 4);
  ASSERT_TRUE(testing::WaitFor(
      [&] { return page_.ScaledPreviewSize() == larger.size() * page_.devicePixelRatio(); }));
  const QImage shot = page_.grab().toImage();
  EXPECT_TRUE(testing::Near(shot.pixelColor(lower), Qt::blue));
  // A frame still being scaled when the next movie starts is not shown.
  page_.ShowFrame(MakeFrame(movie_.id(), Qt::green));
  Movie next("/videos/next.mp4", CaptureSettings{});
  next.videoFormat = movie_.videoFormat;
  page_.MovieStarted(next);
  ASSERT_TRUE(testing::WaitFor([&] { return !page_.ScalingPreview(); }));
  EXPECT_TRUE(page_.ScaledPreviewSize().isEmpty());
  page_.ShowFrame(MakeFrame(next.id(), Qt::yellow));
  bool sawGreen = false;
  ASSERT_TRUE(testing::WaitFor([&] {
    const QColor now = page_.grab().toImage().pixelColor(lower);
    sawGreen = sawGreen || testing::Near(now, Qt::green);
    return testing::Near(now, Qt::yellow);
  }));
  EXPECT_FALSE(sawGreen);
}

TEST_F(ProgressPageTest, ErrorsShareTheBoxLineByLine) {
  ProgressPage page;
  page.show();
  EXPECT_FALSE(page.ErrorBoxVisible());
  page.AppendError("Error capturing from 'a.avi' - no decoder");
  page.AppendError("Error capturing from 'b.avi' - cannot open");
  EXPECT_EQ(
      page.ErrorText(),
      "Error capturing from 'a.avi' - no decoder\r\nError capturing from 'b.avi' - cannot open");
  EXPECT_TRUE(page.ErrorBoxVisible());
  EXPECT_EQ(page.findChild<QPlainTextEdit*>()->toPlainText().count('\n'), 1);
  page.ClearErrors();
  EXPECT_EQ(page.ErrorText(), "");
  EXPECT_FALSE(page.ErrorBoxVisible());
  page.AppendError("again");
  EXPECT_EQ(page.ErrorText(), "again");  // no leading line break
}

TEST_F(ProgressPageTest, ProgressInTenthsAndButtons) {
  ProgressPage page;
  const Movie movie = MovieOf640x480();
  page.MovieStarted(movie);
  page.ShowProgress(movie.id(), 999);
  EXPECT_EQ(page.ProgressPosition(), 99);
  page.ShowProgress(movie.id(), 1000);
  EXPECT_EQ(page.ProgressPosition(), 100);
  page.ShowProgress(movie.id() - 1, 10);  // late, of the movie before
  EXPECT_EQ(page.ProgressPosition(), 100);
  QSignalSpy back(&page, &ProgressPage::backClicked);
  QSignalSpy next(&page, &ProgressPage::nextClicked);
  for (QAbstractButton* button : page.findChildren<QAbstractButton*>()) button->click();
  EXPECT_EQ(back.count(), 1);
  EXPECT_EQ(next.count(), 1);
}

// Numbers are written the way of a language for the test's length.
class LocaleSession {
 public:
  explicit LocaleSession(QLocale::Language language, QLocale::Territory territory) {
    QLocale::setDefault(QLocale(language, territory));
  }
  ~LocaleSession() { QLocale::setDefault(saved_); }

 private:
  QLocale saved_;
};

// The texts the page shows to the user, in order.
QStringList ShownTexts(const ProgressPage& page) {
  QStringList texts;
  for (const QLabel* label : page.findChildren<QLabel*>()) {
    if (label->isVisibleTo(&page) && !label->text().isEmpty()) texts << label->text();
  }
  return texts;
}

TEST_F(ProgressPageTest, SaysNothingUntilAMovieStarts) {
  page_.show();
  EXPECT_EQ(ShownTexts(page_), QStringList());
  page_.RunStarted();
  page_.RunFinished();  // a run in which no movie could be opened
  EXPECT_FALSE(ShownTexts(page_).join(' ').contains("Movie name"));
  page_.MovieStarted(movie_);
  EXPECT_TRUE(ShownTexts(page_).contains("Movie name:"));
  EXPECT_TRUE(ShownTexts(page_).contains("/videos/holiday & more.mp4"));
}

TEST_F(ProgressPageTest, CountsAndTimesFollowTheShareOfTheRunDone) {
  LocaleSession english(QLocale::English, QLocale::UnitedStates);
  qint64 now = 5'000'000;
  page_.SetClock([&] { return now; });
  Start();
  page_.RunStarted();
  EXPECT_EQ(page_.CountText(), "");
  Movie second("/videos/second.mp4", CaptureSettings{});

  page_.ShowCounts(movie_.id(), 1, 2, 0, 1200);
  EXPECT_EQ(page_.CountText(), "Video 1 of 2, thumbnail 0 of about 1,200");
  EXPECT_EQ(page_.TimeText(), "0:00 elapsed");  // nothing done: nothing to go by
  // A quarter of the run in 30 s: about 90 s more.
  now += 30'000;
  page_.ShowCounts(movie_.id(), 1, 2, 600, 1200);
  page_.ShowProgress(movie_.id(), 500);
  EXPECT_EQ(page_.CountText(), "Video 1 of 2, thumbnail 600 of about 1,200");
  EXPECT_EQ(page_.TimeText(), "0:30 elapsed, about 1:30 left");
  // Ten minutes paused are no time the run took.
  page_.SetPaused(true);
  now += 600'000;
  page_.SetPaused(false);
  EXPECT_EQ(page_.TimeText(), "0:30 elapsed, about 1:30 left");
  // Counts of another movie than the current one are late.
  page_.ShowCounts(second.id(), 2, 2, 0, 10);
  EXPECT_EQ(page_.CountText(), "Video 1 of 2, thumbnail 600 of about 1,200");

  // The second movie starts its own progress; its length is not known.
  now += 30'000;
  page_.SetPaused(true);  // the pause is reported again: it began once
  page_.SetPaused(true);
  page_.SetPaused(false);
  page_.MovieStarted(second);
  page_.ShowCounts(second.id(), 2, 2, 0, 0);
  EXPECT_EQ(page_.CountText(), "Video 2 of 2");
  EXPECT_EQ(page_.TimeText(), "1:00 elapsed, about 1:00 left");
  now += 3'540'000;
  page_.ShowCounts(second.id(), 2, 2, 7, 0);
  page_.ShowProgress(second.id(), 900);
  EXPECT_EQ(page_.CountText(), "Video 2 of 2, thumbnail 7");
  EXPECT_EQ(page_.TimeText(), "1:00:00 elapsed, about 3:09 left");

  page_.RunFinished();
  EXPECT_EQ(page_.TimeText(), "1:00:00 elapsed");
  now += 60'000;
  page_.ShowProgress(second.id(), 1000);  // late: the run has ended
  EXPECT_EQ(page_.TimeText(), "1:00:00 elapsed");
}

TEST_F(ProgressPageTest, NumbersAreWrittenTheUsersWay) {
  LocaleSession german(QLocale::German, QLocale::Germany);
  qint64 now = 0;
  page_.SetClock([&] { return now; });
  Start();
  page_.RunStarted();
  page_.ShowCounts(movie_.id(), 1, 1, 1500, 2500);
  EXPECT_EQ(page_.CountText(), "Video 1 of 1, thumbnail 1.500 of about 2.500");
}

}  // namespace
}  // namespace ombrelo::desktop
