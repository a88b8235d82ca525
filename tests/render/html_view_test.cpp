#include "render/html_view.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <string>
#include <vector>

#include "html_test_support.h"
#include "platform/paths.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::EnsureGuiApplication;
using testing::Near;
using testing::PumpEventsUntil;
using testing::TempFolder;
using testing::WriteFileBytes;
using testing::WriteFramedPicture;

// Records the view's events as short texts.
class EventLog : public HtmlViewListener {
 public:
  void BeforeNavigate(const std::string& url) override { Add("before " + url); }
  void NavigateComplete(const std::string& url) override { Add("navigated " + url); }
  void NavigateError(const std::string& url) override { Add("error " + url); }
  void DocumentComplete(const std::string& url) override {
    Add("complete " + url);
    ++documentsComplete;
  }
  void DownloadBegin() override {
    Add("begin");
    ++begins;
  }
  void DownloadComplete() override {
    Add("end");
    ++ends;
  }
  void TitleChange(const std::string& title) override { Add("title " + title); }

  void Add(const std::string& text) { events.push_back(text); }
  int Open() const { return begins - ends; }

  std::vector<std::string> events;
  int begins = 0;
  int ends = 0;
  int documentsComplete = 0;
};

class HtmlViewTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }

  std::string Page(const std::string& name, const std::string& html) {
    const std::string path = folder_ / name;
    EXPECT_TRUE(WriteFileBytes(path, html));
    return path;
  }

  static std::string FileUrl(const std::string& path) { return "file://" + path; }

  // Navigates and runs the event loop until the page and its downloads are
  // complete.
  static void Load(HtmlView& view, EventLog& log, const std::string& url) {
    const int before = log.documentsComplete;
    view.Navigate(url);
    ASSERT_TRUE(PumpEventsUntil([&] { return log.documentsComplete > before; }));
  }

  TempFolder folder_{"htmlview"};
};

TEST_F(HtmlViewTest, NavigationReportsPageAndImageDownloadsInPairs) {
  WriteFramedPicture(folder_ / "a.jpg", 40, 30, Qt::red);
  WriteFramedPicture(folder_ / "b.png", 40, 30, Qt::green);
  WriteFileBytes(folder_ / "style.css", "body { background: #123456; }");
  const std::string page =
      Page("page.html",
           "<html><head><title>Two pictures</title>"
           "<link rel=\"stylesheet\" href=\"style.css\"></head><body>"
           "<img src=\"a.jpg\"><img src=\"b.png\"><img src=\"a.jpg\"></body></html>");
  // The same whether the page and its pictures are loaded on this thread or
  // off it.
  for (const bool background : {false, true}) {
    SCOPED_TRACE(background ? "off the thread" : "on the thread");
    HtmlView view(200, 100);
    view.SetParseInBackground(background);
    EventLog log;
    view.SetListener(&log);

    EXPECT_EQ(view.LocationUrl(), "about:blank");
    view.Navigate(page);
    // Navigation is asynchronous: only the announcement has happened yet, and
    // the old document is still shown.
    EXPECT_EQ(log.events, std::vector<std::string>{"before " + page});
    EXPECT_EQ(view.LocationUrl(), "about:blank");
    EXPECT_TRUE(view.Busy());

    ASSERT_TRUE(PumpEventsUntil([&] { return log.documentsComplete == 1; }));
    EXPECT_FALSE(view.Busy());
    EXPECT_EQ(view.LocationUrl(), FileUrl(page));
    EXPECT_EQ(view.Title(), "Two pictures");
    // The page, its style sheet and two distinct pictures.
    EXPECT_EQ(log.begins, 4);
    EXPECT_EQ(log.ends, 4);
    EXPECT_EQ(log.events.back(), "complete " + FileUrl(page));

    // Once the page is in, the pictures are still on their way: their
    // downloads end after the page's own.
    const auto navigated =
        std::find(log.events.begin(), log.events.end(), "navigated " + FileUrl(page));
    ASSERT_NE(navigated, log.events.end());
    EXPECT_EQ(std::count(navigated, log.events.end(), "end"), 3);
    // The pictures were measured: the page is laid out around them.
    EXPECT_EQ(view.ScrollWidth(), 200);
    EXPECT_GE(view.ScrollHeight(), 30);
    const QImage shown = view.RenderVisible();
    EXPECT_TRUE(Near(shown.pixel(20, 15), Qt::red, 40)) << "the first picture is drawn";
  }
}

TEST_F(HtmlViewTest, NavigatingAwayEndsOpenDownloadsAndIgnoresTheirLateResults) {
  WriteFramedPicture(folder_ / "a.jpg", 40, 30, Qt::red);
  const std::string first = Page("first.html", "<body><img src=\"a.jpg\"></body>");
  const std::string second = Page("second.html", "<body><p>second</p></body>");
  for (const bool background : {false, true}) {
    SCOPED_TRACE(background ? "off the thread" : "on the thread");
    HtmlView view(200, 100);
    view.SetParseInBackground(background);

    // Navigates to the second page as soon as the first is in, while the
    // first page's picture is still loading.
    class Redirect : public EventLog {
     public:
      void NavigateComplete(const std::string& url) override {
        EventLog::NavigateComplete(url);
        if (url.find("first.html") == std::string::npos) return;
        openWhenLeaving = Open();
        view->Navigate(target);
        openAfterLeaving = Open();
      }
      HtmlView* view = nullptr;
      std::string target;
      int openWhenLeaving = -1;
      int openAfterLeaving = -1;
    } log;
    log.view = &view;
    log.target = second;
    view.SetListener(&log);

    view.Navigate(first);
    ASSERT_TRUE(PumpEventsUntil([&] { return log.documentsComplete == 1; }));
    testing::PumpEvents();
    EXPECT_EQ(log.openWhenLeaving, 2) << "the page and its picture";
    EXPECT_EQ(log.openAfterLeaving, 0) << "open downloads end before the next page";
    EXPECT_EQ(view.LocationUrl(), FileUrl(second));
    EXPECT_EQ(log.Open(), 0);
    EXPECT_EQ(log.documentsComplete, 1) << "the first page never completes";
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "complete " + FileUrl(first)), 0);
  }
}

TEST_F(HtmlViewTest, APageParsedOffTheThreadLoadsAsAnyOtherAndIsDroppedWhenLeft) {
  // A page whose parse may well still run when the view is asked for more.
  std::string big = "<html><head><title>Big</title></head><body>";
  for (int i = 0; i < 3000; ++i) big += "<div><span>" + std::to_string(i) + "</span></div>";
  const std::string first = Page("big.html", big + "</body></html>");
  const std::string second =
      Page("small.html", "<html><head><title>Small</title></head><body><p>x</p></body></html>");
  for (const bool leave : {false, true}) {
    SCOPED_TRACE(leave ? "left at once" : "loaded");
    HtmlView view(200, 100);
    view.SetParseInBackground(true);
    EventLog log;
    view.SetListener(&log);
    view.Navigate(first);
    ASSERT_TRUE(PumpEventsUntil([&] { return log.begins >= 1; }));  // the parse has begun
    EXPECT_EQ(view.LocationUrl(), "about:blank") << "the old page is shown until the new is in";
    if (leave) view.Navigate(second);
    ASSERT_TRUE(PumpEventsUntil([&] { return log.documentsComplete == 1; }));
    testing::PumpEvents();
    const std::string shown = leave ? second : first;
    EXPECT_EQ(view.LocationUrl(), FileUrl(shown));
    EXPECT_EQ(view.Title(), leave ? "Small" : "Big");
    EXPECT_EQ(log.Open(), 0);
    EXPECT_EQ(log.events.back(), "complete " + FileUrl(shown));
    EXPECT_GT(view.ScrollHeight(), leave ? 0 : 3000);
  }
  // A view that goes away while it parses leaves nothing behind.
  {
    HtmlView view(200, 100);
    view.SetParseInBackground(true);
    EventLog log;
    view.SetListener(&log);
    view.Navigate(first);
    ASSERT_TRUE(PumpEventsUntil([&] { return log.begins >= 1; }));
  }
  testing::PumpEvents();
}

TEST_F(HtmlViewTest, MissingPageShowsTheErrorPage) {
  HtmlView view(200, 100);
  EventLog log;
  view.SetListener(&log);
  const std::string missing = folder_ / "missing.html";
  Load(view, log, missing);
  EXPECT_EQ(view.LocationUrl(), HtmlView::kErrorPageUrl);
  EXPECT_NE(std::find(log.events.begin(), log.events.end(), "error " + missing), log.events.end());
  EXPECT_EQ(log.Open(), 0);

  // A folder is not a page either.
  Load(view, log, folder_.Path());
  EXPECT_EQ(view.LocationUrl(), HtmlView::kErrorPageUrl);

  // Back to the empty page.
  Load(view, log, "about:blank");
  EXPECT_EQ(view.LocationUrl(), "about:blank");
}

TEST_F(HtmlViewTest, ResolvesPicturesRelativeToThePageWithEscapes) {
  // File and folder names with blanks, "&", "#" and non-ASCII letters.
  const std::string sub = folder_ / "pics & more #1 \xc3\xa9t\xc3\xa9/";
  ASSERT_TRUE(paths::CreateFolders(sub));
  WriteFramedPicture(sub + "red one.jpg", 50, 40, Qt::red);
  WriteFramedPicture(folder_ / "blue.bmp", 50, 40, Qt::blue);
  const std::string page =
      Page("pictures.html",
           "<html><body style=\"margin:0\">"
           "<img src=\"pics%20&amp;%20more%20%231%20%C3%A9t%C3%A9/red%20one.jpg\" "
           "style=\"position:absolute; left:0; top:0\">"
           "<img src=\"" +
               FileUrl(folder_ / "blue.bmp") +
               "\" style=\"position:absolute; left:60px; top:0\">"
               "<img src=\"nothing-here.jpg\" width=\"50\" height=\"40\" "
               "style=\"position:absolute; left:120px; top:0\">"
               "</body></html>");
  HtmlView view(200, 60);
  EventLog log;
  view.SetListener(&log);
  Load(view, log, page);

  const QImage image = view.RenderVisible();
  EXPECT_TRUE(Near(image.pixel(25, 20), Qt::red, 40));
  EXPECT_TRUE(Near(image.pixel(85, 20), Qt::blue, 40));
  EXPECT_TRUE(Near(image.pixel(145, 20), Qt::white, 0)) << "a missing picture draws nothing";
}

TEST_F(HtmlViewTest, LaysOutBlocksTablesListsAndBorders) {
  WriteFramedPicture(folder_ / "thumb.jpg", 64, 48, QColor(0, 160, 0));
  const std::string page =
      Page("layout.html",
           "<html><head><style>"
           "body { margin: 0; background: #ffffcc; font-family: sans-serif; font-size: 12px }"
           "div.box { width: 100px; height: 20px; border: 4px solid #0000ff; background: #ff0000 }"
           "ul { margin: 0; }"
           "</style></head><body>"
           "<div class=\"box\"></div>"
           "<table border=\"1\" cellpadding=\"5\" cellspacing=\"0\"><tr>"
           "<td><img src=\"thumb.jpg\"></td><td><img src=\"thumb.jpg\"></td></tr></table>"
           "<ul><li>item</li></ul>"
           "</body></html>");
  HtmlView view(300, 200);
  EventLog log;
  view.SetListener(&log);
  Load(view, log, page);
  const QImage image = view.RenderVisible();

  // The div is a block at the top left: border, then background.
  EXPECT_TRUE(Near(image.pixel(1, 1), Qt::blue, 0));
  EXPECT_TRUE(Near(image.pixel(50, 14), Qt::red, 0));
  EXPECT_TRUE(Near(image.pixel(107, 14), Qt::blue, 0));
  EXPECT_TRUE(Near(image.pixel(150, 14), QColor(0xff, 0xff, 0xcc), 0)) << "page background";

  // The table starts below the div (28 pixels); table border 1, cell
  // border 1, padding 5: the first picture's frame is at (7, 35).
  const int top = 28 + 1 + 1 + 5;
  EXPECT_TRUE(Near(image.pixel(7, top), Qt::black, 60));
  EXPECT_TRUE(Near(image.pixel(7 + 32, top + 24), QColor(0, 160, 0), 40));
  // The second cell follows the first: 7 + 64 + 5 + 1 (cell) + 1 + 5.
  EXPECT_TRUE(Near(image.pixel(7 + 64 + 12 + 32, top + 24), QColor(0, 160, 0), 40));

  // A list item gets a disc marker left of its text, inside the padding.
  const int listTop = top + 48 + 5 + 1 + 1;
  bool marker = false;
  for (int y = listTop; y < listTop + 20 && !marker; ++y)
    for (int x = 20; x < 40 && !marker; ++x) marker = qGray(image.pixel(x, y)) < 80;
  EXPECT_TRUE(marker) << "no list marker found";
}

TEST_F(HtmlViewTest, ScrollSizesAndClampedScrollPositions) {
  const std::string page =
      Page("big.html",
           "<html><body style=\"margin:0\"><div style=\"width:1000px; height:700px; "
           "background:#00ff00\"></div></body></html>");
  HtmlView view(320, 256);
  EventLog log;
  view.SetListener(&log);
  Load(view, log, page);

  EXPECT_EQ(view.OffsetWidth(), 320);
  EXPECT_EQ(view.OffsetHeight(), 256);
  EXPECT_EQ(view.ScrollWidth(), 1000);
  EXPECT_EQ(view.ScrollHeight(), 700);

  view.SetScrollTop(512);
  EXPECT_EQ(view.ScrollTop(), 700 - 256);
  view.SetScrollLeft(960);
  EXPECT_EQ(view.ScrollLeft(), 1000 - 320);
  view.SetScrollLeft(-5);
  EXPECT_EQ(view.ScrollLeft(), 0);
  view.SetScrollTop(100);
  EXPECT_EQ(view.ScrollTop(), 100);

  // A small page: the scroll size is the visible area, nothing scrolls.
  Load(view, log, Page("small.html", "<body><p>small</p></body>"));
  EXPECT_EQ(view.ScrollWidth(), 320);
  EXPECT_EQ(view.ScrollHeight(), 256);
  EXPECT_EQ(view.ScrollTop(), 0);
  view.SetScrollTop(10);
  EXPECT_EQ(view.ScrollTop(), 0);
}

TEST_F(HtmlViewTest, ScrolledViewportsReassembleTheWholePage) {
  // A page wider and taller than the window, with text, borders and
  // scaled pictures crossing the tile edges.
  WriteFramedPicture(folder_ / "pic.jpg", 133, 90, QColor(200, 80, 20));
  std::string cells;
  for (int i = 0; i < 12; ++i)
    cells +=
        "<div style=\"float:left; width:150px; height:120px; margin:5px; border:2px dashed "
        "#333\"><img src=\"pic.jpg\" width=\"101\" height=\"77\"><br>Picture " +
        std::to_string(i) + "</div>";
  const std::string page =
      Page("tiles.html",
           "<html><body style=\"margin:0; font-family:serif\"><div style=\"width:700px; "
           "height:500px; background:#ddeeff\">" +
               cells + "</div></body></html>");
  HtmlView whole(700, 500);
  HtmlView window(320, 256);
  EventLog wholeLog, windowLog;
  whole.SetListener(&wholeLog);
  window.SetListener(&windowLog);
  Load(whole, wholeLog, page);
  Load(window, windowLog, page);
  ASSERT_EQ(window.ScrollWidth(), 700);
  ASSERT_EQ(window.ScrollHeight(), 500);

  const QImage expected = whole.RenderVisible();
  QImage assembled(700, 500, QImage::Format_RGB32);
  assembled.fill(Qt::black);
  {
    QPainter painter(&assembled);
    for (int y = 0; y < 500; y += 256) {
      for (int x = 0; x < 700; x += 320) {
        window.SetScrollTop(y);
        window.SetScrollLeft(x);
        painter.drawImage(QPoint(window.ScrollLeft(), window.ScrollTop()), window.RenderVisible());
      }
    }
  }
  EXPECT_TRUE(assembled == expected) << "tiles differ from the page drawn at once";
}

TEST_F(HtmlViewTest, BodyAttributesTitleAndCharacterSets) {
  HtmlView view(200, 100);
  EventLog log;
  view.SetListener(&log);
  Load(view, log, Page("attr.html", "<html><body scroll=\"auto\">x</body></html>"));
  EXPECT_TRUE(view.HasBody());
  EXPECT_EQ(view.BodyAttribute("scroll"), "auto");
  view.SetBodyAttribute("scroll", "no");
  EXPECT_EQ(view.BodyAttribute("scroll"), "no");
  EXPECT_EQ(view.BodyAttribute("nothing"), "");

  // A page declared as Latin-1, and an undeclared one that is not UTF-8.
  Load(view, log,
       Page("latin1.html",
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=iso-8859-1\"><title>Caf\xe9</title></head><body></body></html>"));
  EXPECT_EQ(view.Title(), "Caf\xc3\xa9");
  Load(view, log, Page("plain.html", "<html><head><title>Na\xefve</title></head></html>"));
  EXPECT_EQ(view.Title(), "Na\xc3\xafve");
  Load(view, log, Page("utf8.html", "<html><head><title>\xc3\xa9t\xc3\xa9</title></head></html>"));
  EXPECT_EQ(view.Title(), "\xc3\xa9t\xc3\xa9");
  EXPECT_NE(std::find(log.events.begin(), log.events.end(), "title \xc3\xa9t\xc3\xa9"),
            log.events.end());
}

TEST_F(HtmlViewTest, ClickOnALinkIsReportedNotFollowed) {
  class Clicks : public EventLog {
   public:
    void AnchorClicked(const std::string& url) override { clicked.push_back(url); }
    std::vector<std::string> clicked;
  } log;
  HtmlView view(300, 100);
  view.SetListener(&log);
  const std::string page =
      Page("links.html",
           "<html><body style=\"margin:0\"><a href=\"next%20page.html\" style=\"display:block; "
           "width:100px; height:30px\">next</a></body></html>");
  Load(view, log, page);
  view.MouseMove(10, 10);
  view.MouseDown(10, 10);
  view.MouseUp(10, 10);
  ASSERT_EQ(log.clicked.size(), 1u);
  EXPECT_EQ(log.clicked[0], FileUrl(folder_ / "next%20page.html"));
  EXPECT_EQ(view.LocationUrl(), FileUrl(page));
}

TEST_F(HtmlViewTest, ResourcesAreRegularFilesOfBoundedSizeAndNeverBlock) {
  for (const char* name : {"fifo.css", "fifo.png"}) {
    ASSERT_EQ(mkfifo((folder_ / name).c_str(), 0600), 0);  // opening one for reading blocks
  }
  ASSERT_TRUE(WriteFileBytes(folder_ / "big.css", ""));
  ASSERT_EQ(truncate((folder_ / "big.css").c_str(), off_t{17} << 20), 0);  // sparse
  const std::string page =
      Page("hostile.html",
           "<html><head><link rel=\"stylesheet\" href=\"file:///dev/zero\">"
           "<link rel=\"stylesheet\" href=\"fifo.css\"><link rel=\"stylesheet\" href=\"big.css\">"
           "</head><body><img src=\"/dev/zero\"><img src=\"fifo.png\"></body></html>");
  HtmlView view(200, 100);
  EventLog log;
  view.SetListener(&log);
  DebugCapture debug;
  QElapsedTimer elapsed;
  elapsed.start();
  Load(view, log, page);
  EXPECT_LT(elapsed.elapsed(), 5000);
  EXPECT_EQ(log.Open(), 0);
  const std::pair<std::string, std::string> refused[] = {
      {"/dev/zero", "not a regular file"},
      {folder_ / "fifo.css", "not a regular file"},
      {folder_ / "fifo.png", "not a regular file"},
      {folder_ / "big.css", "larger than 16 MB"},
  };
  for (const auto& [path, why] : refused) {
    EXPECT_TRUE(debug.Contains("Page read refused: " + path + ": " + why + "\n")) << debug.Text();
  }
}

}  // namespace
}  // namespace ombrelo
