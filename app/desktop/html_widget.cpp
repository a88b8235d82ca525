#include "app/desktop/html_widget.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>

#include "app/desktop/palette.h"

namespace ombrelo::desktop {

HtmlWidget::HtmlWidget(QWidget* parent)
    : QWidget(parent), view_(std::make_unique<HtmlView>(100, 100)) {
  view_->SetListener(this);
  vertical_ = new QScrollBar(Qt::Vertical, this);
  horizontal_ = new QScrollBar(Qt::Horizontal, this);
  for (QScrollBar* bar : {vertical_, horizontal_}) {
    bar->hide();
    bar->setFocusPolicy(Qt::NoFocus);
  }
  connect(vertical_, &QScrollBar::valueChanged, this, [this](int top) {
    if (updatingBars_) return;
    view_->SetScrollTop(top);
    update();
  });
  connect(horizontal_, &QScrollBar::valueChanged, this, [this](int left) {
    if (updatingBars_) return;
    view_->SetScrollLeft(left);
    update();
  });
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  FollowPalette();
}

HtmlWidget::~HtmlWidget() { view_->SetListener(nullptr); }

bool HtmlWidget::IsWebAddress(const std::string& url) {
  return url.rfind("http:", 0) == 0 || url.rfind("https:", 0) == 0;
}

std::string HtmlWidget::PageStyle(const QPalette& palette) {
  if (!IsDark(palette)) return std::string();
  std::string style;
  const auto rule = [&style](const char* selector, const char* property, const QColor& colour) {
    style +=
        std::string(selector) + " { " + property + ": " + colour.name().toStdString() + "; }\n";
  };
  const QColor base = palette.color(QPalette::Base);
  const QColor text = palette.color(QPalette::Text);
  const QColor accent(0xe2, 0x55, 0x2f);  // the pages' own, kept as a tint
  rule("html, body", "background-color", base);
  rule("html, body", "color", text);
  rule("a", "color", palette.color(QPalette::Link));
  rule("b.ui", "color", text);
  rule("h2", "color", Blend(accent, text, 0.35));
  rule("div.tip", "background-color", Blend(base, accent, 0.2));
  rule("div.note, code", "background-color", palette.color(QPalette::AlternateBase));
  return style;
}

void HtmlWidget::FollowPalette() {
  const std::string style = PageStyle(palette());
  if (style == pageStyle_) return;
  pageStyle_ = style;
  view_->SetUserStyleSheet(style);
  if (current_.empty()) return;
  restoreTop_ = view_->ScrollTop();
  view_->Navigate(current_);
}

void HtmlWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) FollowPalette();
  QWidget::changeEvent(event);
}

void HtmlWidget::Navigate(const std::string& url) {
  if (!current_.empty() && url != current_) {
    back_.push_back({current_, view_->ScrollTop()});
    forward_.clear();
  }
  current_ = url;
  restoreTop_ = -1;
  view_->Navigate(url);
  emit HistoryChanged();
}

void HtmlWidget::Go(std::vector<Visit>& from, std::vector<Visit>& to) {
  if (from.empty()) return;
  to.push_back({current_, view_->ScrollTop()});
  const Visit visit = from.back();
  from.pop_back();
  current_ = visit.url;
  restoreTop_ = visit.top;
  view_->Navigate(visit.url);
  emit HistoryChanged();
}

void HtmlWidget::Back() { Go(back_, forward_); }

void HtmlWidget::Forward() { Go(forward_, back_); }

void HtmlWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  view_->DrawVisible(painter);
  // The corner between two scroll bars.
  if (vertical_->isVisible() && horizontal_->isVisible())
    painter.fillRect(
        QRect(vertical_->x(), horizontal_->y(), vertical_->width(), horizontal_->height()),
        palette().window());
}

void HtmlWidget::resizeEvent(QResizeEvent*) { UpdateScrollBars(); }

void HtmlWidget::UpdateScrollBars() {
  if (updatingBars_) return;
  updatingBars_ = true;
  const int barWidth = vertical_->sizeHint().width();
  const int barHeight = horizontal_->sizeHint().height();
  // A bar takes room from the page, which may then need the other one.
  bool needVertical = false;
  bool needHorizontal = false;
  for (int pass = 0; pass < 2; ++pass) {
    const int w = std::max(1, width() - (needVertical ? barWidth : 0));
    const int h = std::max(1, height() - (needHorizontal ? barHeight : 0));
    if (view_->Width() != w || view_->Height() != h) view_->Resize(w, h);
    needVertical = view_->ScrollHeight() > h;
    needHorizontal = view_->ScrollWidth() > w;
  }
  const int w = std::max(1, width() - (needVertical ? barWidth : 0));
  const int h = std::max(1, height() - (needHorizontal ? barHeight : 0));
  if (view_->Width() != w || view_->Height() != h) view_->Resize(w, h);
  vertical_->setVisible(needVertical);
  horizontal_->setVisible(needHorizontal);
  vertical_->setGeometry(w, 0, barWidth, h);
  horizontal_->setGeometry(0, h, w, barHeight);
  vertical_->setRange(0, std::max(0, view_->ScrollHeight() - h));
  vertical_->setPageStep(h);
  vertical_->setSingleStep(fontMetrics().height());
  vertical_->setValue(view_->ScrollTop());
  horizontal_->setRange(0, std::max(0, view_->ScrollWidth() - w));
  horizontal_->setPageStep(w);
  horizontal_->setSingleStep(fontMetrics().height());
  horizontal_->setValue(view_->ScrollLeft());
  updatingBars_ = false;
}

void HtmlWidget::ScrollBy(int dy) {
  view_->SetScrollTop(view_->ScrollTop() + dy);
  UpdateScrollBars();
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
  if (event->button() == Qt::BackButton) {
    Back();
    return;
  }
  if (event->button() == Qt::ForwardButton) {
    Forward();
    return;
  }
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
  QTimer::singleShot(0, this, [this, target] { Navigate(target); });
}

void HtmlWidget::Changed() {
  UpdateScrollBars();
  update();
}

void HtmlWidget::DocumentComplete(const std::string& url) {
  if (restoreTop_ >= 0) view_->SetScrollTop(restoreTop_);
  restoreTop_ = -1;
  UpdateScrollBars();
  update();
  emit PageLoaded(QString::fromStdString(url));
}

}  // namespace ombrelo::desktop
