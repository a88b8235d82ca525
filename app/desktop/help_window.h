#pragma once
// The help window and the rules for when a help page is shown.
//
// Pages come from the application data folder: "tutorial/" in tutorial
// mode, "dialogs/" otherwise. Welcome pages are shown (modal) only while the
// FirstRun preference is set; each tutorial page once per run (modeless, one
// at a time) while ShowTutorials is on; notices always (modal). Addresses
// beginning with "http:/" go to the system browser. Back and Forward (the
// buttons, Alt+Left and Alt+Right, Backspace, the mouse's side buttons) walk
// the pages followed in the window.
#include <QDialog>
#include <QPointer>
#include <set>
#include <string>

#include "workflow/workflow_port.h"

class QCheckBox;
class QToolButton;

namespace ombrelo {
class Preferences;
}

namespace ombrelo::desktop {

class BitmapButton;
class HtmlWidget;

class HelpWindow : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 640;
  static constexpr int kClientHeight = 590;

  // Shows the page at address (a file path or URL); the check box "Do not
  // show more help messages" only in tutorial mode.
  HelpWindow(Preferences& preferences, const std::string& address, HelpMode mode, QWidget* owner);

  HelpMode Mode() const { return mode_; }
  const std::string& Address() const { return address_; }
  QCheckBox* DoNotShowBox() const { return doNotShow_; }
  BitmapButton* CloseButton() const { return close_; }
  HtmlWidget* Browser() const { return browser_; }
  QToolButton* BackButton() const { return back_; }
  QToolButton* ForwardButton() const { return forward_; }

  // Closing by "Close", Escape or the title bar: a ticked check box switches
  // the tutorials off for good.
  void done(int result) override;

 private:
  Preferences& preferences_;
  std::string address_;
  HelpMode mode_;
  HtmlWidget* browser_;
  BitmapButton* close_;
  QCheckBox* doNotShow_;
  QToolButton* back_;
  QToolButton* forward_;
};

class HelpPages {
 public:
  explicit HelpPages(Preferences& preferences);
  ~HelpPages();
  HelpPages(const HelpPages&) = delete;
  HelpPages& operator=(const HelpPages&) = delete;

  // Shows the page by the rules above. Modal modes return when the window
  // has been closed.
  void Show(QWidget* owner, const std::string& name, HelpMode mode);

  // The address a page name leads to in a mode.
  static std::string Address(const std::string& name, HelpMode mode);

  // The open tutorial window, if any.
  HelpWindow* TutorialWindow() const { return tutorial_; }
  // True when the tutorial page has been asked for in this run.
  bool TutorialAsked(const std::string& name) const { return asked_.count(name) != 0; }
  // Every page opened in a window so far in this run, in order.
  const std::vector<std::string>& Shown() const { return shown_; }

 private:
  Preferences& preferences_;
  std::set<std::string> asked_;
  std::vector<std::string> shown_;
  QPointer<HelpWindow> tutorial_;
};

}  // namespace ombrelo::desktop
