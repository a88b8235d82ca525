#include "project/playlist.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "project/movie.h"
#include "project/project.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

TEST(Playlist, WritesTheExactText) {
  TempFolder folder("ipl");
  const std::string path = folder / "a&b.ipl";
  std::string escapedPath = path;
  escapedPath.replace(escapedPath.find('&'), 1, "&amp;");
  Movie movie("/v/a&b clip.avi", CaptureSettings{});
  movie.AddImage({"/T/a&b/a&b 00.00.05.004.jpg", 125, 5.004});
  movie.AddImage({"/T/a&b/x.jpg", 93137, 3725.5});
  movie.AddImage({"/T/a&b/<y>.bmp", 0, 0.0});
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
      "<imageplaylist>\n"
      "\t<root>" +
      escapedPath +
      "<root>\n"
      "<entry>\n"
      "\t<file>/T/a&amp;b/a&amp;b 00.00.05.004.jpg</file>\n"
      "\t<source>/v/a&amp;b clip.avi</source>\n"
      "\t<frame>125</frame>\n"
      "\t<time>0:00:05:004</time>\n"
      "</entry>\n"
      "<entry>\n"
      "\t<file>/T/a&amp;b/x.jpg</file>\n"
      "\t<source>/v/a&amp;b clip.avi</source>\n"
      "\t<frame>93137</frame>\n"
      "\t<time>1:02:05:500</time>\n"
      "</entry>\n"
      "<entry>\n"
      "\t<file>/T/a&amp;b/&lt;y&gt;.bmp</file>\n"
      "\t<source>/v/a&amp;b clip.avi</source>\n"
      "\t<frame>0</frame>\n"
      "\t<time>0:00:00:000</time>\n"
      "</entry>\n"
      "</imageplaylist>\n";
  ASSERT_TRUE(WritePlaylist(path, movie));
  EXPECT_EQ(ReadFileBytes(path), expected);

  Movie empty("/v/e.avi", CaptureSettings{});
  ASSERT_TRUE(WritePlaylist(path, empty));  // replaces the file
  EXPECT_EQ(ReadFileBytes(path),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<imageplaylist>\n\t<root>" +
                escapedPath + "<root>\n</imageplaylist>\n");
}

TEST(Playlist, WriterMakesFoldersAndSaysWhyItFailed) {
  TempFolder folder("ipl");
  Movie movie("/v/clip.avi", CaptureSettings{});
  movie.AddImage({"/T/clip/clip1.jpg", 25, 1.0});

  const std::string path = folder / "new/deeper/clip.ipl";
  int error = 0;
  EXPECT_TRUE(WritePlaylist(path, movie, &error));
  EXPECT_EQ(ReadFileBytes(path), PlaylistText(path, movie));

  // A folder standing where the file should go cannot be written; nothing
  // is shown, the caller hears why.
  const std::string blocked = folder / "blocked.ipl";
  std::filesystem::create_directory(blocked);
  EXPECT_FALSE(WritePlaylist(blocked, movie, &error));
  EXPECT_EQ(error, EISDIR);
  EXPECT_TRUE(std::filesystem::is_directory(blocked));
}

TEST(Playlist, ReadsBackWhatItWritesAndRefusesOtherText) {
  Movie movie("/v/a&b clip.avi", CaptureSettings{});
  movie.AddImage({"/T/a&b/<file>x</file>.jpg", 125, 5.004});
  movie.AddImage({"/T/Grüße/y.jpg", 93137, 3725.5});
  std::vector<PlaylistEntry> entries;
  std::string error;
  ASSERT_TRUE(ReadPlaylistText(PlaylistText("/p/a.ipl", movie), &entries, &error));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].file, "/T/a&b/<file>x</file>.jpg");
  EXPECT_EQ(entries[0].source, "/v/a&b clip.avi");
  EXPECT_EQ(entries[0].frame, 125);
  EXPECT_EQ(entries[0].time, "0:00:05:004");
  EXPECT_EQ(entries[1].file, "/T/Grüße/y.jpg");
  EXPECT_EQ(entries[1].time, "1:02:05:500");

  // Latin-1 bytes, carriage returns and an entry without a file.
  ASSERT_TRUE(
      ReadPlaylistText("<imageplaylist>\r\n<entry>\r\n\t<file>/T/Gr\xFC\xDF"
                       "e.jpg</file>\r\n</entry>\r\n<entry>\r\n</entry>\r\n",
                       &entries, &error));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].file, "/T/Grüße.jpg");
  EXPECT_EQ(entries[0].time, "");

  EXPECT_FALSE(ReadPlaylistText("<obxproject>\n</obxproject>\n", &entries, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace ombrelo
