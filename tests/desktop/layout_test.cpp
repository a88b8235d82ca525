// The main window holds at every size: at its minimum size and at a large
// one, with the default font and with one half again as large, every page
// is walked control by control. No two visible controls overlap, none
// reaches out of what holds it (unless a scroll area hides that part), none
// is squeezed below the size its text asks for, and the picture of the
// empty "Videos to index" list never lies under a list entry.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/results/results_page.h"
#include "app/desktop/results/review_window.h"
#include "app/desktop/select_page.h"
#include "app/page_generation.h"
#include "desktop/desktop_fixture.h"
#include "engine/capture_engine.h"
#include "project/project.h"
#include "support/recording_message_port.h"

namespace ombrelo::desktop {
namespace {

// A control the user sees: where it is in the window, and the part of it a
// scroll area leaves in view.
struct Control {
  QWidget* widget;
  QRect area;
  QRect shown;
};

std::string Describe(const QWidget* widget) {
  QString text;
  if (auto* button = qobject_cast<const QAbstractButton*>(widget)) text = button->text();
  if (auto* label = qobject_cast<const QLabel*>(widget)) text = label->text();
  if (auto* box = qobject_cast<const QGroupBox*>(widget)) text = box->title();
  std::string name = widget->metaObject()->className();
  if (!text.isEmpty()) name += " \"" + text.toStdString() + "\"";
  if (!widget->objectName().isEmpty()) name += " #" + widget->objectName().toStdString();
  return name;
}

std::string Describe(const QRect& r) {
  return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
         "x" + std::to_string(r.height());
}

// The widgets that are controls of their own; the rest hold controls.
// Scrolled views (lists, trees, text boxes) count as one control, except
// the scroll area that holds part of a page.
bool IsControl(const QWidget* widget) {
  if (qobject_cast<const QScrollArea*>(widget)) return false;
  return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLabel*>(widget) ||
         qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
         qobject_cast<const QAbstractSpinBox*>(widget) ||
         qobject_cast<const QProgressBar*>(widget) || qobject_cast<const QMenuBar*>(widget) ||
         qobject_cast<const QAbstractScrollArea*>(widget);
}

class LayoutWalk {
 public:
  explicit LayoutWalk(QWidget* window) : window_(window) {
    Walk(window, QRect(QPoint(0, 0), window->size()));
  }

  // Everything that is wrong, one line each.
  std::vector<std::string> Faults() {
    for (size_t i = 0; i < controls_.size(); ++i) {
      CheckSize(controls_[i]);
      for (size_t j = i + 1; j < controls_.size(); ++j) {
        const QRect both = controls_[i].shown & controls_[j].shown;
        if (!both.isEmpty())
          faults_.push_back(Describe(controls_[i].widget) + " overlaps " +
                            Describe(controls_[j].widget) + " at " + Describe(both));
      }
    }
    return faults_;
  }
  size_t Count() const { return controls_.size(); }

 private:
  void Walk(QWidget* holder, const QRect& visible) {
    const QRect holderArea(holder->mapTo(window_, QPoint(0, 0)), holder->size());
    // A scroll area's viewport shows a part of what it holds.
    const bool scrolled =
        qobject_cast<QAbstractScrollArea*>(holder->parentWidget()) &&
        static_cast<QAbstractScrollArea*>(holder->parentWidget())->viewport() == holder;
    for (QWidget* child : holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (child->isWindow() || !child->isVisible()) continue;
      const QRect area(child->mapTo(window_, QPoint(0, 0)), child->size());
      if (!scrolled && !holderArea.contains(area))
        faults_.push_back(Describe(child) + " at " + Describe(area) + " reaches out of " +
                          Describe(holder) + " at " + Describe(holderArea));
      if (IsControl(child)) {
        if (!(area & visible).isEmpty()) controls_.push_back({child, area, area & visible});
        continue;
      }
      if (auto* box = qobject_cast<QGroupBox*>(child)) CheckTitle(box);
      Walk(child, area & visible);
    }
  }

  // Laid out, a control gets at least the size it needs (the minimum set
  // on it, else the one it asks for); a text needs its whole width (a label
  // that wraps, its lines' height), a push button's text its margin and frame
  // too.
  void CheckSize(const Control& control) {
    QWidget* w = control.widget;
    const QSize hint = w->minimumSizeHint();
    const QSize set = w->minimumSize();
    QSize needed(set.width() > 0 ? set.width() : hint.width(),
                 set.height() > 0 ? set.height() : hint.height());
    if (auto* button = qobject_cast<QPushButton*>(w); button && !button->text().isEmpty()) {
      QStyleOptionButton option;
      option.initFrom(button);
      const QStyle* style = button->style();
      int text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width() +
                 style->pixelMetric(QStyle::PM_ButtonMargin, &option, button) +
                 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
      if (!button->icon().isNull()) text += button->iconSize().width() + 4;
      needed.setWidth(qMax(needed.width(), text));
    }
    if (auto* label = qobject_cast<QLabel*>(w); label && label->wordWrap())
      needed = QSize(0, label->heightForWidth(label->width()));
    if (w->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored) needed.setWidth(0);
    if (w->sizePolicy().verticalPolicy() == QSizePolicy::Ignored) needed.setHeight(0);
    if (w->width() < needed.width() || w->height() < needed.height())
      faults_.push_back(Describe(w) + " is " + Describe(control.area) + ", needs " +
                        std::to_string(needed.width()) + "x" + std::to_string(needed.height()));
    if (auto* view = qobject_cast<QTreeView*>(w)) CheckColumns(view->header());
  }

  // A column's heading is not cut off.
  void CheckColumns(const QHeaderView* header) {
    if (header->isHidden()) return;
    for (int section = 0; section < header->count(); ++section) {
      if (header->isSectionHidden(section)) continue;
      const QString title = header->model()->headerData(section, Qt::Horizontal).toString();
      if (header->sectionSize(section) < header->sectionSizeHint(section))
        faults_.push_back("column \"" + title.toStdString() + "\" is " +
                          std::to_string(header->sectionSize(section)) + " wide, needs " +
                          std::to_string(header->sectionSizeHint(section)));
    }
  }

  void CheckTitle(QGroupBox* box) {
    const int title = box->fontMetrics().horizontalAdvance(box->title());
    if (box->width() < title)
      faults_.push_back("the title of " + Describe(box) +
                        " is cut: " + std::to_string(box->width()) + " < " + std::to_string(title));
  }

  QWidget* window_;
  std::vector<Control> controls_;
  std::vector<std::string> faults_;
};

// The application font for the life of a test.
class ScopedApplicationFont {
 public:
  explicit ScopedApplicationFont(double scale) : saved_(QApplication::font()) {
    QFont font = saved_;
    if (font.pointSizeF() > 0)
      font.setPointSizeF(font.pointSizeF() * scale);
    else
      font.setPixelSize(qRound(font.pixelSize() * scale));
    QApplication::setFont(font);
  }
  ~ScopedApplicationFont() { QApplication::setFont(saved_); }
  ScopedApplicationFont(const ScopedApplicationFont&) = delete;
  ScopedApplicationFont& operator=(const ScopedApplicationFont&) = delete;

 private:
  QFont saved_;
};

void Settle() {
  for (int round = 0; round < 4; ++round) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
  }
}

class LayoutTest : public testing::DesktopTest, public ::testing::WithParamInterface<double> {
 protected:
  void SetUp() override {
    showTutorials_ = false;
    DesktopTest::SetUp();
    font_ = std::make_unique<ScopedApplicationFont>(GetParam());
    project_ = std::make_unique<CProject>(Folder());
    session_ = std::make_unique<DesktopSession>(*project_, CaptureEngine::Instance(), *preferences_,
                                                pages_);
  }
  void TearDown() override {
    session_.reset();
    project_.reset();
    font_.reset();
    DesktopTest::TearDown();
  }

  // A waiting movie, and a finished one with a long name.
  void AddMovies() {
    project_->AddMovie(Folder() + "waiting clip.avi");
    project_->AddMovie(Folder() + "a finished clip with a rather long name, indexed.mp4");
    Movie& done = *project_->FindMovieForWrite(project_->Movies().back().id());
    done.status = kMovieDone;
    done.videoFormat.biWidth = 640;
    done.videoFormat.biHeight = 360;
    session_->window.ReloadPages();
  }

  std::unique_ptr<ScopedApplicationFont> font_;
  std::unique_ptr<CProject> project_;
  XsltPageGeneration pages_;
  std::unique_ptr<DesktopSession> session_;
  testing::RecordingMessagePort messages_;
};

TEST_P(LayoutTest, EveryPageHoldsFromTheMinimumSizeToALargeWindow) {
  AddMovies();
  MainWindow& w = session_->window;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  auto* results = w.PageAt(kResultsPage)->findChild<ombrelo::ResultsPage*>();
  ASSERT_NE(results, nullptr);

  const auto walkPages = [&](const QSize& size, const char* when) {
    w.resize(size);
    for (int page : {kSelectPage, kSettingsPage, kProgressPage, kResultsPage}) {
      w.SwitchToPage(page);
      // The results page with a movie chosen: its review window is docked.
      if (page == kResultsPage) results->SelectMovie(project_->Movies().back().id());
      Settle();
      ASSERT_EQ(w.size(), size);
      if (page == kResultsPage) {
        ASSERT_TRUE(results->Review() && results->Review()->isVisible());
      }
      LayoutWalk walk(&w);
      const std::vector<std::string> faults = walk.Faults();
      EXPECT_GT(walk.Count(), 8u) << "page " << page;
      EXPECT_TRUE(faults.empty()) << "page " << page << " at " << size.width() << "x"
                                  << size.height() << when << ":\n"
                                  << ::testing::PrintToString(faults);
    }
  };
  const QSize smallest(MainWindow::kMinimumWidth, MainWindow::kMinimumHeight);
  for (const QSize size :
       {smallest, QSize(1280, 1024), QSize(MainWindow::kWidth, MainWindow::kHeight)})
    walkPages(size, "");

  // The desktop's font grows while the window is open.
  ScopedApplicationFont larger(1.5);
  walkPages(QSize(1280, 1024), " after the font grew");
  walkPages(smallest, " after the font grew");
}

TEST_P(LayoutTest, TheDropPictureShowsOnlyWhileTheListIsEmptyAndWithinIt) {
  MainWindow& w = session_->window;
  w.resize(MainWindow::kMinimumWidth, MainWindow::kMinimumHeight);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  auto* list = w.PageAt(kSelectPage)->findChild<VideosList*>();
  ASSERT_NE(list, nullptr);
  Settle();

  // Empty: the picture is drawn, whole, inside the list's visible area,
  // also when the list is lower than the picture.
  const QRect picture = list->PlaceholderRect();
  EXPECT_FALSE(picture.isEmpty());
  EXPECT_TRUE(list->viewport()->rect().contains(picture)) << Describe(picture);

  // With entries it gives way to them.
  AddMovies();
  Settle();
  ASSERT_GT(list->topLevelItemCount(), 0);
  EXPECT_TRUE(list->PlaceholderRect().isEmpty());

  // Empty again, it comes back.
  project_->ClearMovies();
  w.ReloadPages();
  Settle();
  EXPECT_FALSE(list->PlaceholderRect().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Fonts, LayoutTest, ::testing::Values(1.0, 1.5),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return info.param == 1.0 ? std::string("DefaultFont")
                                                    : std::string("LargerFont");
                         });

}  // namespace
}  // namespace ombrelo::desktop
