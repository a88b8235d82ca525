#pragma once
// A widget that shows our HtmlView: it paints the visible part of the page,
// scrolls with the wheel and the keys (no scroll bars, as in the help
// window), and follows links. Links to the web go to the system browser; a
// local link is shown in the widget.
#include <QWidget>
#include <memory>
#include <string>

#include "render/html_view.h"

namespace ombrelo::desktop {

class HtmlWidget : public QWidget, private HtmlViewListener {
  Q_OBJECT
 public:
  explicit HtmlWidget(QWidget* parent = nullptr);
  ~HtmlWidget() override;

  void Navigate(const std::string& url);
  HtmlView& View() { return *view_; }

  // True for the addresses handed to the system browser ("http:" and
  // "https:").
  static bool IsWebAddress(const std::string& url);

 signals:
  void PageLoaded(const QString& url);

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

 private:
  // HtmlViewListener
  void AnchorClicked(const std::string& url) override;
  void Changed() override;
  void DocumentComplete(const std::string& url) override;

  void ScrollBy(int dy);

  std::unique_ptr<HtmlView> view_;
};

}  // namespace ombrelo::desktop
