#pragma once
// The push button of every page and dialog: the style's button face with a
// picture and a text on it. The picture has a normal and a hot look; when
// the mouse enters, the hot picture fades in over 300 ms (four steps of a
// 75 ms timer; at once on a display of 8 bits per pixel or less). Pressed,
// the picture and the text move one pixel right and down.
#include <QAbstractButton>
#include <QIcon>
#include <QTimer>

namespace ombrelo::desktop {

class BitmapButton : public QAbstractButton {
  Q_OBJECT
 public:
  static constexpr int kFadeSteps = 4;
  static constexpr int kFadeIntervalMs = 75;

  // Images are resource paths of pictures (SVG), e.g. ":/buttons/next.svg".
  BitmapButton(const QString& text, const QString& normalImage, const QString& hotImage,
               QWidget* parent = nullptr);

  // Left-aligned: the picture on the left, else on the right.
  void SetLeftAligned(bool left);
  // How far the hot picture has faded in: 0 (normal) to kFadeSteps (hot).
  int FadeStep() const { return fadeStep_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void FadeTick();

  QIcon normal_;
  QIcon hot_;
  bool leftAligned_ = false;
  bool hover_ = false;
  int fadeStep_ = 0;
  QTimer fadeTimer_;
};

// The buttons at the foot of the progress and results pages, with their
// pictures: "Back" (picture on the left), "Next", "HTML Report".
enum class PageButton { back, next, report };
BitmapButton* MakePageButton(PageButton kind, const QString& text, QWidget* parent = nullptr);

}  // namespace ombrelo::desktop
