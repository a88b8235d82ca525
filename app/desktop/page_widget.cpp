#include "app/desktop/page_widget.h"

#include <QHeaderView>
#include <QPainter>
#include <QSvgRenderer>

static void RegisterDesktopResources() { Q_INIT_RESOURCE(resources); }

namespace ombrelo::desktop {

void LoadResources() {
  static const bool loaded = (RegisterDesktopResources(), true);
  (void)loaded;
}

PageWidget::PageWidget(QWidget* parent)
    : QWidget(parent), background_((LoadResources(), new QSvgRenderer(this))) {
  background_->load(QStringLiteral(":/pages/background.svg"));
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
  painter.fillRect(rect(), palette().window());
  background_->render(&painter, BackgroundRect(size()));
}

void FitColumnsToTitles(QHeaderView* header) {
  for (int column = 0; column < header->count(); ++column)
    header->resizeSection(column,
                          qMax(header->sectionSize(column), header->sectionSizeHint(column)));
}

}  // namespace ombrelo::desktop
