// The image viewer: a playlist of a hundred pictures stepped through with
// the keys, the wheel, Home and End, the picture on the screen read back by
// its colour; decoding ahead; zoom and full screen; the lists it opens.
#include "app/desktop/viewer/image_viewer.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QDir>
#include <QImage>
#include <QTest>
#include <QWheelEvent>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/desktop/advanced_settings_dialog.h"
#include "app/desktop/results/desktop_shell.h"
#include "desktop/desktop_fixture.h"
#include "project/movie.h"
#include "project/playlist.h"
#include "project/project.h"

namespace ombrelo::desktop {
namespace {

// Picture i has its own colour: red counts ones, green counts tens.
QColor ColourOf(int i) { return QColor((i % 10) * 25, (i / 10) * 25, 128); }

bool SavePicture(const std::string& path, const QColor& colour, QSize size = {640, 360}) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return image.save(QString::fromStdString(path), nullptr, 95);
}

bool Near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
         std::abs(a.blue() - b.blue()) <= 8;
}

class ImageViewerTest : public testing::DesktopTest {
 protected:
  // The colour in the middle of the picture area, as painted.
  static QColor Shown(ImageViewer& viewer) {
    const QImage shot = viewer.View()->grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() / 2);
  }
  // Waits for the current picture and checks that it is picture i.
  static void ExpectShowing(ImageViewer& viewer, int i) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.CurrentShown(); }, 5000)) << i;
    EXPECT_EQ(viewer.Current(), i);
    EXPECT_TRUE(Near(Shown(viewer), ColourOf(i))) << i << " shows " << Shown(viewer).name().toStdString();
    EXPECT_TRUE(viewer.StatusText().endsWith(QStringLiteral("%1 / 100").arg(i + 1)))
        << viewer.StatusText().toStdString();
  }
};

TEST_F(ImageViewerTest, StepsThroughAHundredPicturePlaylistShowingTheRightPictureAndPlace) {
  const std::string folder = Folder() + "Ferien & Grüße/";
  QDir().mkpath(QString::fromStdString(folder));
  Movie movie(Folder() + "ferien.mp4", CaptureSettings{});
  for (int i = 0; i < 100; ++i) {
    const std::string path = folder + "ferien_" + std::to_string(i) + ".jpg";
    ASSERT_TRUE(SavePicture(path, ColourOf(i)));
    movie.AddImage({path, static_cast<uint32_t>(i * 25), i * 1.0 + 0.004});
  }
  const std::string playlist = Folder() + "ferien.ipl";
  ASSERT_TRUE(WritePlaylist(playlist, movie));

  ImageViewer viewer({QString::fromStdString(playlist)});
  viewer.resize(480, 360);
  viewer.show();
  viewer.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer));
  ASSERT_EQ(viewer.Count(), 100);
  ExpectShowing(viewer, 0);
  EXPECT_TRUE(viewer.StatusText().startsWith(QStringLiteral("ferien_0.jpg  0:00:00.004  ")))
      << viewer.StatusText().toStdString();

  // Every picture in turn with the arrow key; the next one is decoded
  // before it is asked for, so it is there at once.
  for (int i = 1; i < 100; ++i) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.Decoded(i); }, 5000)) << i;
    QTest::keyClick(&viewer, Qt::Key_Right);
    EXPECT_TRUE(viewer.CurrentShown()) << i;
    ExpectShowing(viewer, i);
  }
  EXPECT_TRUE(viewer.StatusText().contains(QStringLiteral("0:01:39.004")));
  QTest::keyClick(&viewer, Qt::Key_Right);  // the end stays the end
  ExpectShowing(viewer, 99);

  // Back, to the start, to the end, pages and the wheel.
  QTest::keyClick(&viewer, Qt::Key_Left);
  ExpectShowing(viewer, 98);
  QTest::keyClick(&viewer, Qt::Key_Home);
  ExpectShowing(viewer, 0);
  QTest::keyClick(&viewer, Qt::Key_PageDown);
  ExpectShowing(viewer, 1);
  QTest::keyClick(&viewer, Qt::Key_End);
  ExpectShowing(viewer, 99);
  QTest::keyClick(&viewer, Qt::Key_PageUp);
  ExpectShowing(viewer, 98);
  const QPointF middle(viewer.View()->width() / 2.0, viewer.View()->height() / 2.0);
  QWheelEvent down(middle, viewer.View()->mapToGlobal(middle), {}, {0, -120}, Qt::NoButton, {},
                   Qt::NoScrollPhase, false);
  QApplication::sendEvent(viewer.View(), &down);
  ExpectShowing(viewer, 99);

  // 100 % and back; full screen and back with Escape.
  EXPECT_TRUE(viewer.StatusText().contains(QStringLiteral("%1 %").arg(
      qRound(100.0 * viewer.View()->Scale()))));
  EXPECT_LT(viewer.View()->Scale(), 1.0);
  QTest::keyClick(&viewer, Qt::Key_Z);
  EXPECT_EQ(viewer.View()->Scale(), 1.0);
  EXPECT_TRUE(viewer.StatusText().contains(QStringLiteral("100 %")));
  QTest::keyClick(&viewer, Qt::Key_Z);
  EXPECT_LT(viewer.View()->Scale(), 1.0);
  QTest::keyClick(&viewer, Qt::Key_F11);
  EXPECT_TRUE(QTest::qWaitFor([&] { return viewer.isFullScreen(); }, 2000));
  QTest::keyClick(&viewer, Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !viewer.isFullScreen(); }, 2000));
  EXPECT_TRUE(viewer.isVisible());

  // In a window larger than the picture, it is shown at its own size, not
  // blown up.
  viewer.resize(1000, 800);
  EXPECT_TRUE(QTest::qWaitFor([&] { return viewer.View()->Scale() == 1.0; }, 2000))
      << viewer.View()->Scale();
}

TEST_F(ImageViewerTest, OpensFoldersPicturesAndMovedPlaylistsAndSaysWhatItCannotShow) {
  const std::string folder = Folder() + "thumbs/";
  QDir().mkpath(QString::fromStdString(folder));
  for (const char* name : {"clip 10.jpg", "clip 2.jpg", "clip 1.bmp", "notes.txt"})
    ASSERT_TRUE(testing::WriteFileBytes(folder + name, "x"));

  struct Case {
    QStringList files;
    QStringList names;    // the pictures listed, by file name
    QString error;        // a part of the message when nothing is listed
  };
  // A playlist written elsewhere, its folder moved here with it.
  ASSERT_TRUE(testing::WriteFileBytes(
      folder + "moved.ipl",
      "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<imageplaylist>\n\t<root>/old/moved.ipl"
      "<root>\n<entry>\n\t<file>/old/thumbs/clip 2.jpg</file>\n\t<time>0:00:02:000</time>\n"
      "</entry>\n</imageplaylist>\n"));
  ASSERT_TRUE(testing::WriteFileBytes(folder + "empty.ipl", "<imageplaylist>\n</imageplaylist>\n"));
  ASSERT_TRUE(testing::WriteFileBytes(folder + "project.ipl", "<obxproject>\n"));
  ASSERT_EQ(::mkfifo((folder + "fifo.ipl").c_str(), 0600), 0);
  const QString f = QString::fromStdString(folder);
  const std::vector<Case> cases = {
      {{f}, {"clip 1.bmp", "clip 2.jpg", "clip 10.jpg"}, {}},
      {{f + "clip 10.jpg"}, {"clip 10.jpg"}, {}},
      {{f + "moved.ipl"}, {"clip 2.jpg"}, {}},
      {{f + "missing.ipl"}, {}, "Cannot open the playlist"},
      {{f + "project.ipl"}, {}, "no image playlist"},
      {{f + "empty.ipl"}, {}, "holds no pictures"},
      {{f + "fifo.ipl"}, {}, "not a playlist file"},
  };
  for (const Case& c : cases) {
    const ViewerPictures list = ListPictures(c.files);
    QStringList names;
    for (const ViewerPicture& picture : list.pictures) {
      names << QFileInfo(picture.path).fileName();
      EXPECT_TRUE(QFileInfo::exists(picture.path)) << picture.path.toStdString();
    }
    EXPECT_EQ(names, c.names) << c.files[0].toStdString();
    EXPECT_TRUE(list.error.contains(c.error)) << list.error.toStdString();
  }

  // A file that is no picture, and a FIFO named like one (which would block
  // the decoder for good): the window says so and goes on.
  ASSERT_EQ(::mkfifo((folder + "pipe.jpg").c_str(), 0600), 0);
  ImageViewer viewer({f + "pipe.jpg", f + "clip 10.jpg"});
  viewer.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.CurrentShown(); }, 5000));
  EXPECT_EQ(viewer.View()->Scale(), 0);
  viewer.Step(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.CurrentShown(); }, 5000));
  EXPECT_EQ(viewer.View()->Scale(), 0);
  EXPECT_TRUE(viewer.StatusText().endsWith(QStringLiteral("2 / 2")));
}

TEST_F(ImageViewerTest, TheAdvancedSettingsChooseWhatOpensPicturesAndKeepAHandSetCommand) {
  CProject project(Folder());
  EXPECT_EQ(PictureOpenerChoice(), PictureOpener::viewer);
  {
    // Set by hand before there was a choice.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganizationName,
                       kApplicationName);
    settings.setValue(kViewerCommandKey, "feh --scale-down");
  }
  AdvancedSettingsDialog dialog(project, nullptr);
  EXPECT_EQ(dialog.PictureOpenerBox()->currentIndex(), int(PictureOpener::command));
  EXPECT_EQ(dialog.ViewerCommandEdit()->text(), "feh --scale-down");
  dialog.PictureOpenerBox()->setCurrentIndex(int(PictureOpener::desktop));
  EXPECT_FALSE(dialog.ViewerCommandEdit()->isEnabled());
  dialog.reject();
  EXPECT_EQ(PictureOpenerChoice(), PictureOpener::command);
  dialog.accept();
  EXPECT_EQ(PictureOpenerChoice(), PictureOpener::desktop);
  EXPECT_EQ(ViewerCommand(), "feh --scale-down");  // kept for when it is chosen again
}

TEST_F(ImageViewerTest, AnSvgNamedLikeAPictureIsNotShownAndTheFilesItNamesAreNotRead) {
  // A picture format that names other files: one link to a FIFO, which
  // would block whoever opens it, one to a picture that is not the
  // playlist's.
  const std::string folder = Folder();
  ASSERT_EQ(::mkfifo((folder + "pipe").c_str(), 0600), 0);
  ASSERT_TRUE(SavePicture(folder + "private.png", Qt::red));
  ASSERT_TRUE(testing::WriteFileBytes(
      folder + "drawing.jpg",
      "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"64\" height=\"64\">\n"
      "<image x=\"0\" y=\"0\" width=\"64\" height=\"64\" xlink:href=\"file://" +
          folder + "private.png\"/>\n<image width=\"64\" height=\"64\" xlink:href=\"" + folder +
          "pipe\"/>\n</svg>\n"));
  ASSERT_TRUE(SavePicture(folder + "frame.jpg", ColourOf(42)));
  Movie movie(folder + "clip.mp4", CaptureSettings{});
  movie.AddImage({folder + "drawing.jpg", 0, 0.0});
  movie.AddImage({folder + "frame.jpg", 25, 1.0});
  ASSERT_TRUE(WritePlaylist(folder + "clip.ipl", movie));

  // Every open of the linked picture is seen here.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, (folder + "private.png").c_str(), IN_OPEN | IN_ACCESS), 0);
  {
    ImageViewer viewer({QString::fromStdString(folder + "clip.ipl")});
    viewer.resize(320, 240);
    viewer.show();
    const bool shown = QTest::qWaitFor([&] { return viewer.CurrentShown(); }, 5000);
    // Nobody holds the FIFO open for reading: opening it to write without
    // waiting finds no reader (and frees one that waits, so that a failing
    // run still ends).
    const int writer = ::open((folder + "pipe").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    const int openError = errno;
    if (writer >= 0) ::close(writer);
    EXPECT_LT(writer, 0) << "the FIFO is open for reading";
    EXPECT_EQ(openError, ENXIO);
    ASSERT_TRUE(shown);
    EXPECT_EQ(viewer.View()->Scale(), 0) << "the drawing is shown";
    EXPECT_TRUE(viewer.View()->Message().startsWith(QStringLiteral("Cannot show ")));
    EXPECT_TRUE(viewer.View()->Message().endsWith(QStringLiteral("not a JPEG, PNG or BMP picture")))
        << viewer.View()->Message().toStdString();
    // The next picture is decoded ahead and shown as usual.
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.Decoded(1); }, 5000));
    viewer.Step(1);
    ASSERT_TRUE(viewer.CurrentShown());
    EXPECT_TRUE(Near(Shown(viewer), ColourOf(42)));
    viewer.Step(-1);
    ASSERT_TRUE(viewer.CurrentShown());
    EXPECT_EQ(viewer.View()->Scale(), 0);
  }  // the window goes at once: no thread waits on anything
  char events[4096];
  const ssize_t got = ::read(watch, events, sizeof events);
  ::close(watch);
  EXPECT_LT(got, 0) << "the linked picture was read";
}

}  // namespace
}  // namespace ombrelo::desktop
