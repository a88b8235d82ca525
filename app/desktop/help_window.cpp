#include "app/desktop/help_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QToolButton>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "app/common/translations.h"
#include "app/desktop/bitmap_button.h"
#include "app/desktop/html_widget.h"
#include "platform/data_folder.h"
#include "project/preferences.h"

namespace ombrelo::desktop {

namespace {
constexpr int kButtonBandHeight = 68;
constexpr char kDoNotShowText[] =
    QT_TRANSLATE_NOOP("ombrelo::desktop::HelpWindow", "Do not show more help messages");

void CentreOn(QWidget* window, QWidget* owner) {
  if (!owner) return;
  const QRect frame = owner->window()->geometry();
  window->move(frame.center() - QPoint(window->width() / 2, window->height() / 2));
}
}  // namespace

HelpWindow::HelpWindow(Preferences& preferences, const std::string& address, HelpMode mode,
                       QWidget* owner)
    : QDialog(owner), preferences_(preferences), address_(address), mode_(mode) {
  setWindowTitle(QString());
  setFixedSize(kClientWidth, kClientHeight);

  browser_ = new HtmlWidget(this);
  browser_->setGeometry(0, 0, kClientWidth, kClientHeight - kButtonBandHeight);

  close_ = new BitmapButton(tr("&Close"), QStringLiteral(":/buttons/close.svg"),
                            QStringLiteral(":/buttons/close_hot.svg"), this);
  close_->setGeometry(534, 532, 96, 48);
  connect(close_, &QAbstractButton::clicked, this, &QDialog::accept);

  doNotShow_ = new QCheckBox(tr(kDoNotShowText), this);
  doNotShow_->setGeometry(10, 532, 326, 48);
  doNotShow_->setVisible(mode == HelpMode::tutorial);

  // Back and Forward, left of "Close"; enabled as the history allows.
  const auto addStep = [this](Qt::ArrowType arrow, const QString& text,
                              const QList<QKeySequence>& keys, void (HtmlWidget::*go)(), int x) {
    auto* action = new QAction(text, this);
    action->setShortcuts(keys);
    action->setToolTip(text + " (" + keys.first().toString(QKeySequence::NativeText) + ")");
    connect(action, &QAction::triggered, browser_, go);
    addAction(action);
    auto* button = new QToolButton(this);
    button->setDefaultAction(action);
    button->setArrowType(arrow);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(x, 540, 92, 32);
    return button;
  };
  back_ = addStep(Qt::LeftArrow, tr("Back"),
                  {QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_Backspace)},
                  &HtmlWidget::Back, 338);
  forward_ = addStep(Qt::RightArrow, tr("Forward"), {QKeySequence(Qt::ALT | Qt::Key_Right)},
                     &HtmlWidget::Forward, 434);
  const auto enableSteps = [this] {
    back_->defaultAction()->setEnabled(browser_->CanGoBack());
    forward_->defaultAction()->setEnabled(browser_->CanGoForward());
  };
  connect(browser_, &HtmlWidget::HistoryChanged, this, enableSteps);
  enableSteps();

  close_->setFocus();
  browser_->Navigate(address);
  CentreOn(this, owner);
}

void HelpWindow::done(int result) {
  if (mode_ == HelpMode::tutorial && doNotShow_->isChecked()) preferences_.SetShowTutorials(false);
  QDialog::done(result);
}

HelpPages::HelpPages(Preferences& preferences) : preferences_(preferences) {}

HelpPages::~HelpPages() { delete tutorial_.data(); }

std::string HelpPages::Address(const std::string& name, HelpMode mode) {
  if (name.rfind("http:/", 0) == 0) return name;
  const std::string page = (mode == HelpMode::tutorial ? "tutorial/" : "dialogs/") + name;
  // The page in the user's language (Data/de/tutorial/...), where it has
  // been translated.
  const std::string language = LoadedTranslation().toStdString();
  if (!language.empty()) {
    const std::string translated = ApplicationDataFolder() + language + "/" + page;
    std::error_code ec;
    if (std::filesystem::is_regular_file(translated, ec)) return translated;
  }
  return ApplicationDataFolder() + page;
}

void HelpPages::Show(QWidget* owner, const std::string& name, HelpMode mode) {
  if (mode == HelpMode::tutorial && !asked_.insert(name).second) return;
  if (tutorial_) {
    tutorial_->hide();
    tutorial_->deleteLater();
    tutorial_ = nullptr;
  }
  bool show = false;
  switch (mode) {
    case HelpMode::welcome:
      show = preferences_.FirstRun();
      break;
    case HelpMode::tutorial:
      show = preferences_.ShowTutorials();
      break;
    case HelpMode::notice:
      show = true;
      break;
  }
  if (!show) return;

  const std::string address = Address(name, mode);
  shown_.push_back(name);
  // Our view shows local pages only; the web belongs to the browser.
  if (address.rfind("http:/", 0) == 0) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
    return;
  }
  if (mode == HelpMode::tutorial) {
    tutorial_ = new HelpWindow(preferences_, address, mode, owner);
    tutorial_->setAttribute(Qt::WA_DeleteOnClose);
    tutorial_->setModal(false);
    tutorial_->show();
    return;
  }
  QWidget* active = QApplication::activeWindow();
  HelpWindow window(preferences_, address, mode, active ? active : owner);
  window.exec();
}

}  // namespace ombrelo::desktop
