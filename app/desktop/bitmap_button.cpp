#include "app/desktop/bitmap_button.h"

#include <QEnterEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>

#include "app/desktop/page_widget.h"

namespace ombrelo::desktop {

namespace {
constexpr int kImageSize = 24;
constexpr int kImageMargin = 4;  // between the face's edge and the picture
constexpr int kTextGap = 8;      // between the picture and the text
constexpr int kMaxTextLength = 63;
}  // namespace

BitmapButton::BitmapButton(const QString& text, const QString& normalImage, const QString& hotImage,
                           QWidget* parent)
    : QAbstractButton(parent), normal_((LoadResources(), normalImage)), hot_(hotImage) {
  setText(text.left(kMaxTextLength));
  setToolTip(text);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  fadeTimer_.setInterval(kFadeIntervalMs);
  connect(&fadeTimer_, &QTimer::timeout, this, &BitmapButton::FadeTick);
}

void BitmapButton::SetLeftAligned(bool left) {
  leftAligned_ = left;
  update();
}

QSize BitmapButton::sizeHint() const {
  const int textWidth = fontMetrics().horizontalAdvance(text());
  const int width = kImageMargin + kImageSize + kTextGap + textWidth + 2 * kTextGap;
  const int height = qMax(kImageSize + 2 * 7, fontMetrics().height() + 16);
  return QSize(qMax(width, 96), height);
}

QSize BitmapButton::minimumSizeHint() const { return sizeHint(); }

void BitmapButton::enterEvent(QEnterEvent* event) {
  hover_ = true;
  const QScreen* display = screen();
  if (display && display->depth() > 8) {
    fadeStep_ = 0;
    fadeTimer_.start();
  } else {
    fadeStep_ = kFadeSteps;
  }
  update();
  QAbstractButton::enterEvent(event);
}

void BitmapButton::leaveEvent(QEvent* event) {
  hover_ = false;
  fadeTimer_.stop();
  fadeStep_ = 0;
  update();
  QAbstractButton::leaveEvent(event);
}

void BitmapButton::FadeTick() {
  if (++fadeStep_ >= kFadeSteps) {
    fadeStep_ = kFadeSteps;
    fadeTimer_.stop();
  }
  update();
}

void BitmapButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect face = rect();
  const bool focused = hasFocus();
  if (focused) {
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawRect(face.adjusted(0, 0, -1, -1));
    face.adjust(1, 1, -1, -1);
  }

  const bool pressed = isDown() || isChecked();
  QStyleOptionButton option;
  option.initFrom(this);
  option.rect = face;
  option.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
  if (hover_ && isEnabled()) option.state |= QStyle::State_MouseOver;
  if (!focused) option.state &= ~QStyle::State_HasFocus;
  style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);

  const int offset = pressed ? 1 : 0;
  const QSize imageSize(kImageSize, kImageSize);
  const int imageY = face.top() + (face.height() - kImageSize) / 2 + offset;
  const int imageX = leftAligned_ ? face.left() + kImageMargin + offset
                                  : face.right() - kImageMargin - kImageSize + 1 + offset;
  const QRect imageRect(QPoint(imageX, imageY), imageSize);
  if (!isEnabled()) {
    normal_.paint(&painter, imageRect, Qt::AlignCenter, QIcon::Disabled);
  } else if (pressed || (hover_ && fadeStep_ >= kFadeSteps)) {
    hot_.paint(&painter, imageRect);
  } else if (hover_ && fadeStep_ > 0) {
    normal_.paint(&painter, imageRect);
    painter.setOpacity(double(fadeStep_) / kFadeSteps);
    hot_.paint(&painter, imageRect);
    painter.setOpacity(1.0);
  } else {
    normal_.paint(&painter, imageRect);
  }

  QRect textRect = face;
  if (leftAligned_) {
    textRect.setLeft(imageRect.right() + 1 + kTextGap - offset);
  } else {
    textRect.setRight(imageRect.left() - 1 - kTextGap - offset);
  }
  textRect.translate(offset, offset);
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text());

  if (focused) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = face.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

BitmapButton* MakePageButton(PageButton kind, const QString& text, QWidget* parent) {
  switch (kind) {
    case PageButton::back: {
      auto* button = new BitmapButton(text, QStringLiteral(":/buttons/prev.svg"),
                                      QStringLiteral(":/buttons/prev_hot.svg"), parent);
      button->SetLeftAligned(true);
      return button;
    }
    case PageButton::next:
      return new BitmapButton(text, QStringLiteral(":/buttons/next.svg"),
                              QStringLiteral(":/buttons/next_hot.svg"), parent);
    case PageButton::report:
      break;
  }
  return new BitmapButton(text, QStringLiteral(":/buttons/report.svg"),
                          QStringLiteral(":/buttons/report_hot.svg"), parent);
}

}  // namespace ombrelo::desktop
