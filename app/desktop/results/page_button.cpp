#include "app/desktop/results/page_button.h"

#include <QIcon>
#include <QPushButton>
#include <QStyle>

namespace ombrelo {

QAbstractButton* MakePageButton(const PageButtonFactory& factory, PageButtonKind kind,
                                const QString& text, QWidget* parent) {
  if (factory) {
    if (QAbstractButton* button = factory(kind, text)) {
      button->setParent(parent);
      return button;
    }
  }
  QStyle* style = parent->style();
  switch (kind) {
    case PageButtonKind::back:
      return new QPushButton(style->standardIcon(QStyle::SP_ArrowBack), text, parent);
    case PageButtonKind::next: {
      auto* button = new QPushButton(style->standardIcon(QStyle::SP_ArrowForward), text, parent);
      button->setLayoutDirection(Qt::RightToLeft);  // the arrow after the text
      return button;
    }
    case PageButtonKind::report:
      break;
  }
  return new QPushButton(QIcon::fromTheme("text-html", style->standardIcon(QStyle::SP_FileIcon)),
                         text, parent);
}

}  // namespace ombrelo
