#include "app/desktop/page_widget.h"

#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>

#include "app/desktop/palette.h"

static void RegisterDesktopResources() { Q_INIT_RESOURCE(resources); }

namespace ombrelo::desktop {

void LoadResources() {
  static const bool loaded = (RegisterDesktopResources(), true);
  (void)loaded;
}

PageWidget::PageWidget(QWidget* parent) : QWidget(parent) {
  LoadResources();
  setAttribute(Qt::WA_StyledBackground, false);
}

PageWidget::~PageWidget() = default;

QRect PageWidget::BackgroundRect(const QSize& page) {
  if (page.width() <= kBackgroundWidth && page.height() <= kBackgroundHeight)
    return QRect(0, 0, kBackgroundWidth, kBackgroundHeight);
  constexpr double kRatio = double(kBackgroundWidth) / kBackgroundHeight;
  double width = page.width();
  double height = width / kRatio;
  if (page.height() > height) {
    const double factor = page.height() / height;
    width *= factor;
    height *= factor;
  }
  return QRect(0, 0, int(width + 0.5), int(height + 0.5));
}

void PageWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), palette().window());
  // A gentle fall from the light edge of the window colour at the top, and
  // two waves of a band at the foot, tinted with the highlight; all in the
  // colours of the palette, so that a dark scheme gets a dark page.
  const QRect area = BackgroundRect(size());
  painter.translate(area.topLeft());
  painter.scale(double(area.width()) / kBackgroundWidth, double(area.height()) / kBackgroundHeight);
  const QPalette& p = palette();
  const QColor window = p.color(QPalette::Window);
  const QColor tint = Blend(window, p.color(QPalette::Highlight), 0.14);
  QLinearGradient sky(0, 0, kBackgroundWidth * 0.35, kBackgroundHeight);
  sky.setColorAt(0, Blend(window, p.color(QPalette::Light), 0.6));
  sky.setColorAt(1, Blend(window, tint, 0.5));
  painter.fillRect(QRect(0, 0, kBackgroundWidth, kBackgroundHeight), sky);

  QPainterPath upper(QPointF(0, 470));
  upper.cubicTo(220, 420, 430, 520, kBackgroundWidth, 430);
  upper.lineTo(kBackgroundWidth, kBackgroundHeight);
  upper.lineTo(0, kBackgroundHeight);
  upper.closeSubpath();
  QLinearGradient fade(0, 0, kBackgroundWidth, 0);
  QColor clear = tint;
  clear.setAlphaF(0);
  QColor strong = tint;
  strong.setAlphaF(0.7f);
  fade.setColorAt(0, clear);
  fade.setColorAt(1, strong);
  painter.fillPath(upper, fade);

  QPainterPath lower(QPointF(0, 505));
  lower.cubicTo(260, 470, 470, 550, kBackgroundWidth, 480);
  lower.lineTo(kBackgroundWidth, kBackgroundHeight);
  lower.lineTo(0, kBackgroundHeight);
  lower.closeSubpath();
  QColor band = Blend(tint, p.color(QPalette::Mid), 0.15);
  band.setAlphaF(0.6f);
  painter.fillPath(lower, band);
}

void FitColumnsToTitles(QHeaderView* header) {
  for (int column = 0; column < header->count(); ++column)
    header->resizeSection(column,
                          qMax(header->sectionSize(column), header->sectionSizeHint(column)));
}

}  // namespace ombrelo::desktop
