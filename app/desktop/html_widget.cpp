#include "app/desktop/html_widget.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

namespace ombrelo::desktop {

HtmlWidget::HtmlWidget(QWidget* parent)
    : QWidget(parent), view_(std::make_unique<HtmlView>(100, 100)) {
  view_->SetListener(this);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

HtmlWidget::~HtmlWidget() { view_->SetListener(nullptr); }

bool HtmlWidget::IsWebAddress(const std::string& url) {
  return url.rfind("http:", 0) == 0 || url.rfind("https:", 0) == 0;
}

void HtmlWidget::Navigate(const std::string& url) { view_->Navigate(url); }

void HtmlWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  view_->DrawVisible(painter);
}

void HtmlWidget::resizeEvent(QResizeEvent*) { view_->Resize(width(), height()); }

void HtmlWidget::ScrollBy(int dy) {
  view_->SetScrollTop(view_->ScrollTop() + dy);
  update();
}

void HtmlWidget::wheelEvent(QWheelEvent* event) {
  const int lines = event->angleDelta().y() / 120 * 3;
  ScrollBy(-lines * fontMetrics().height());
  event->accept();
}

void HtmlWidget::keyPressEvent(QKeyEvent* event) {
  const int line = fontMetrics().height();
  switch (event->key()) {
    case Qt::Key_Down:
      ScrollBy(line);
      break;
    case Qt::Key_Up:
      ScrollBy(-line);
      break;
    case Qt::Key_PageDown:
    case Qt::Key_Space:
      ScrollBy(height() - line);
      break;
    case Qt::Key_PageUp:
      ScrollBy(-(height() - line));
      break;
    case Qt::Key_Home:
      ScrollBy(-view_->ScrollTop());
      break;
    case Qt::Key_End:
      ScrollBy(view_->ScrollHeight());
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

void HtmlWidget::mouseMoveEvent(QMouseEvent* event) {
  if (view_->MouseMove(event->position().x(), event->position().y())) update();
}

void HtmlWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton &&
      view_->MouseDown(event->position().x(), event->position().y()))
    update();
}

void HtmlWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton &&
      view_->MouseUp(event->position().x(), event->position().y()))
    update();
}

void HtmlWidget::leaveEvent(QEvent*) {
  if (view_->MouseLeave()) update();
}

// Help pages have no context menu of their own.
void HtmlWidget::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

void HtmlWidget::AnchorClicked(const std::string& url) {
  if (IsWebAddress(url)) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    return;
  }
  // Not from inside the view's own call: navigate once it has returned.
  const std::string target = url;
  QTimer::singleShot(0, this, [this, target] { view_->Navigate(target); });
}

void HtmlWidget::Changed() { update(); }

void HtmlWidget::DocumentComplete(const std::string& url) {
  update();
  emit PageLoaded(QString::fromStdString(url));
}

}  // namespace ombrelo::desktop
