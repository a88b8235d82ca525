// What ombrelo-index's batch and its workers say to each other: messages
// that arrive whole and in order however the socket cuts them, and movie
// records that carry a run's results without loss.
#include "app/indexer/batch_channel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/movie.h"

namespace ombrelo::indexer {
namespace {

TEST(BatchChannelTest, MessagesArriveWholeAndInOrderHoweverTheyAreCut) {
  const std::vector<std::string> sent = {std::string("<movie>é\n\t\0x</movie>\n", 21), "", "third"};
  std::string stream;
  for (const std::string& message : sent) stream += ChannelMessage(message);
  // Byte by byte, the worst a socket may do.
  std::string buffer;
  std::vector<std::string> received;
  for (const char c : stream) {
    buffer += c;
    std::string message;
    while (TakeChannelMessage(buffer, &message) == ChannelRead::message) {
      received.push_back(message);
    }
  }
  EXPECT_EQ(received, sent);
  EXPECT_TRUE(buffer.empty());

  const struct {
    std::string bytes;
    ChannelRead expected;
  } cases[] = {
      {"", ChannelRead::incomplete},
      {"12", ChannelRead::incomplete},
      {"5\nabc", ChannelRead::incomplete},
      {"\nabc", ChannelRead::malformed},
      {"x\n", ChannelRead::malformed},
      {"-1\n", ChannelRead::malformed},
      {"12a\n", ChannelRead::malformed},
      {"9999999999999999999999\n", ChannelRead::malformed},
      {std::string(40, '7'), ChannelRead::malformed},  // no end of the length in sight
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::string bytes = c.bytes;
    std::string message;
    EXPECT_EQ(TakeChannelMessage(bytes, &message), c.expected);
    EXPECT_EQ(bytes, c.bytes);  // nothing taken
  }
}

TEST(BatchChannelTest, AMovieRecordCarriesTheResultsOfARunIntoTheBatchsMovie) {
  const std::string path = "/videos/take #2 & 50% ü 東京.mp4";
  Movie indexed(path, CaptureSettings{});
  indexed.status = kMovieOpened;
  indexed.length = 62.5;
  indexed.size = 12345;
  indexed.error = "Error capturing from '" + path + "' - first\nsecond";
  indexed.html = "/out/Html/take.html";
  indexed.ipl = "/out/Ipl/take.ipl";
  indexed.SetIndexphoto("/out/Index/take.jpg", {"/out/Index/take-2.jpg"});
  indexed.videoFormat.biWidth = 640;
  indexed.videoFormat.biHeight = 360;
  indexed.AddImage({"/out/Thumbs/take/take_0h00m02.040s.jpg", 51, 2.04});
  indexed.AddImage({"/out/Thumbs/take/take_1h00m00.000s.jpg", 90000, 3600});

  Movie received;
  ASSERT_TRUE(ReadMovieRecord(MovieRecord(indexed), &received));
  Movie batchs(path, CaptureSettings{});
  const int32_t id = batchs.id();
  TakeResults(batchs, received);
  EXPECT_EQ(batchs.id(), id);
  EXPECT_EQ(batchs.ToXml(), indexed.ToXml());
  EXPECT_EQ(batchs.images, indexed.images);
  EXPECT_EQ(batchs.error, indexed.error);
  EXPECT_EQ(batchs.status, kMovieOpened);

  for (const std::string text : {"", "garbage", "<movie><status>1</status>"}) {
    Movie movie;
    EXPECT_FALSE(ReadMovieRecord(text, &movie)) << text;
  }
}

}  // namespace
}  // namespace ombrelo::indexer
