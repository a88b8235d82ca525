#pragma once
// The base of the main window's four pages: the page background picture
// (852 x 563, drawn unscaled while the page is not larger, stretched in its
// proportions beyond that) and the way a page hands a command to the main
// window.
#include <QWidget>

#include "app/desktop/commands.h"

class QHeaderView;

namespace ombrelo::desktop {

// Registers the program's pictures (the resource file of this library);
// called by every widget that uses them, does its work once.
void LoadResources();

// Widens each column of a list to at least its title's width, so that no
// title is cut, also after a change to a larger font.
void FitColumnsToTitles(QHeaderView* header);

class PageWidget : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kBackgroundWidth = 852;
  static constexpr int kBackgroundHeight = 563;

  explicit PageWidget(QWidget* parent = nullptr);
  ~PageWidget() override;

  // Where the background is drawn on a page of the given size.
  static QRect BackgroundRect(const QSize& page);

 signals:
  // A command id for the main window's dispatcher.
  void Command(CommandId id);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ombrelo::desktop
