#pragma once
// A widget that shows our HtmlView: it paints the visible part of the page,
// scrolls with the wheel, the keys and scroll bars (shown only where the page
// is larger than the widget), and follows links with a history to go back
// and forward in. Links to the web go to the system browser; a local link is
// shown in the widget.
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QPalette;
class QScrollBar;

#include "render/html_view.h"

namespace ombrelo::desktop {

class HtmlWidget : public QWidget, private HtmlViewListener {
  Q_OBJECT
 public:
  explicit HtmlWidget(QWidget* parent = nullptr);
  ~HtmlWidget() override;

  // Shows the page; the page shown so far goes into the history.
  void Navigate(const std::string& url);
  HtmlView& View() { return *view_; }

  bool CanGoBack() const { return !back_.empty(); }
  bool CanGoForward() const { return !forward_.empty(); }
  // The page before (after) in the history, at the place it was left.
  void Back();
  void Forward();
  QScrollBar* VerticalBar() const { return vertical_; }
  QScrollBar* HorizontalBar() const { return horizontal_; }

  // True for the addresses handed to the system browser ("http:" and
  // "https:").
  static bool IsWebAddress(const std::string& url);

  // The style sheet that puts the help pages on the palette's colours:
  // their ground on Base, their text on Text, links on Link, and their
  // light panels on darker ones. None for a light palette: the pages' own
  // colours are made for it.
  static std::string PageStyle(const QPalette& palette);

 signals:
  void PageLoaded(const QString& url);
  void HistoryChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // HtmlViewListener
  void AnchorClicked(const std::string& url) override;
  void Changed() override;
  void DocumentComplete(const std::string& url) override;

  struct Visit {
    std::string url;
    int top = 0;
  };
  void ScrollBy(int dy);
  void Go(std::vector<Visit>& from, std::vector<Visit>& to);
  // Fits the view and the scroll bars to the widget and the page.
  void UpdateScrollBars();
  // Gives the view the style sheet of the widget's palette; the page shown
  // is loaded again, at the same place, when that changes it.
  void FollowPalette();

  std::unique_ptr<HtmlView> view_;
  QScrollBar* vertical_;
  QScrollBar* horizontal_;
  bool updatingBars_ = false;
  std::string current_;  // the address asked for last
  std::vector<Visit> back_;
  std::vector<Visit> forward_;
  int restoreTop_ = -1;    // the place to go to once the page is there
  std::string pageStyle_;  // the view's style sheet
};

}  // namespace ombrelo::desktop
