#include "app/desktop/run_pages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/desktop/bitmap_button.h"
#include "app/desktop/commands.h"
#include "app/desktop/page_widget.h"
#include "engine/codec_probe.h"
#include "project/movie.h"
#include "project/preferences.h"
#include "project/project.h"

#ifdef OMBRELO_HAVE_RESULTS_PAGES
#include "app/desktop/results/decoding_problems_dialog.h"
#include "app/desktop/results/desktop_shell.h"
#include "app/desktop/results/progress_page.h"
#include "app/desktop/results/results_page.h"
#include "app/regeneration.h"
#include "app/workflow_controller.h"
#endif

namespace ombrelo::desktop {

namespace {

QString Qs(const std::string& text) { return QString::fromStdString(text); }

#ifdef OMBRELO_HAVE_RESULTS_PAGES

// The picture buttons of the other pages, for the pages of results/.
QAbstractButton* PictureButton(ombrelo::PageButtonKind kind, const QString& text) {
  switch (kind) {
    case ombrelo::PageButtonKind::back: {
      auto* button = new BitmapButton(text, QStringLiteral(":/buttons/prev.svg"),
                                      QStringLiteral(":/buttons/prev_hot.svg"));
      button->SetLeftAligned(true);
      return button;
    }
    case ombrelo::PageButtonKind::next:
      return new BitmapButton(text, QStringLiteral(":/buttons/next.svg"),
                              QStringLiteral(":/buttons/next_hot.svg"));
    case ombrelo::PageButtonKind::report:
      break;
  }
  return new BitmapButton(text, QStringLiteral(":/buttons/report.svg"),
                          QStringLiteral(":/buttons/report_hot.svg"));
}

// The pages of results/: the live preview, the results list with its
// context menu and the review window.
class ResultWidgetPages : public RunPages {
 public:
  ResultWidgetPages(CProject& project, RunPagesHost host)
      : project_(project), host_(std::move(host)) {
    shell_.SetHelpPageHandler(host_.showHelp);
    progress_ = new ombrelo::ProgressPage(nullptr, PictureButton);
    results_ = new ombrelo::ResultsPage(project_, shell_, nullptr, PictureButton);
    // On the page background like the other pages.
    progressFrame_ = Framed(progress_);
    resultsFrame_ = Framed(results_);
    QObject::connect(progress_, &ombrelo::ProgressPage::backClicked, progress_,
                     [this] { host_.command(kPageSelect + BackTarget() - 1); });
    QObject::connect(progress_, &ombrelo::ProgressPage::nextClicked, progress_,
                     [this] { host_.command(kPageResults); });
    QObject::connect(results_, &ombrelo::ResultsPage::backClicked, results_,
                     [this] { host_.command(kPageProgress); });
    QObject::connect(results_, &ombrelo::ResultsPage::reportClicked, results_,
                     [this] { host_.command(kGenerateReport); });
    QObject::connect(results_, &ombrelo::ResultsPage::moviesChanged, results_,
                     [this] { host_.moviesChanged(); });
  }
  ~ResultWidgetPages() override { results_->SetRegeneration(nullptr); }

  QWidget* ProgressPage() override { return progressFrame_; }
  QWidget* ResultsPage() override { return resultsFrame_; }
  void AttachController(WorkflowController* controller) override {
    results_->SetRegeneration(nullptr);
    regeneration_.reset();
    if (!controller) return;
    regeneration_ = std::make_unique<Regeneration>(project_, controller->IndexPhotos());
    results_->SetRegeneration(regeneration_.get());
  }

  void ClearErrors() override { progress_->ClearErrors(); }
  void MovieStarted(const Movie& movie) override { progress_->MovieStarted(movie); }
  void MovieNotOpened(const Movie& movie, const std::string& errorText) override {
    progress_->AppendError(errorText);
    results_->MovieNotOpened(movie);
  }
  void ShowProgress(int32_t movieId, int perMille) override {
    progress_->ShowProgress(movieId, perMille);
  }
  void ShowPaused(bool paused) override { progress_->SetPaused(paused); }
  void ShowFrame(const FrameCopy& frame) override { progress_->ShowFrame(frame); }
  void MovieFinished(const Movie& movie) override {
    if (!movie.error.empty()) progress_->AppendError(movie.error);
    results_->MovieFinished(movie);
  }
  void IndexPhotoFinished(const Movie& movie, bool written) override {
    results_->IndexPhotoFinished(movie, written);
  }
  void ShowDecodingProblems(const std::vector<std::string>& paths) override {
    ombrelo::ShowDecodingProblems(
        paths,
        [this](const std::string& path) {
          host_.showHelp(CodecHelpAddress(path), HelpMode::notice);
        },
        host_.window);
  }
  void Reload() override { results_->RefreshList(); }

 private:
  static PageWidget* Framed(QWidget* page) {
    auto* frame = new PageWidget;
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page);
    frame->setFocusProxy(page);
    return frame;
  }

  CProject& project_;
  RunPagesHost host_;
  DesktopShell shell_;
  PageWidget* progressFrame_;
  PageWidget* resultsFrame_;
  ombrelo::ProgressPage* progress_;
  ombrelo::ResultsPage* results_;
  std::unique_ptr<Regeneration> regeneration_;
};

#endif

// Plain pages: the movie being indexed with its progress and errors, and
// the finished movies.
class BasicRunPages : public RunPages {
 public:
  BasicRunPages(CProject& project, Preferences& preferences, RunPagesHost host)
      : project_(project), preferences_(preferences), host_(std::move(host)) {
    progress_ = new PageWidget;
    movie_ = new QLabel(QObject::tr("No video is being indexed."));
    movie_->setWordWrap(true);
    bar_ = new QProgressBar;
    bar_->setRange(0, 1000);
    bar_->setTextVisible(false);
    errors_ = new QPlainTextEdit;
    errors_->setReadOnly(true);
    auto* back = new BitmapButton(QObject::tr("Back"), QStringLiteral(":/buttons/prev.svg"),
                                  QStringLiteral(":/buttons/prev_hot.svg"));
    back->SetLeftAligned(true);
    auto* next = new BitmapButton(QObject::tr("Next"), QStringLiteral(":/buttons/next.svg"),
                                  QStringLiteral(":/buttons/next_hot.svg"));
    QObject::connect(back, &QAbstractButton::clicked, progress_,
                     [this] { host_.command(kPageSelect + BackTarget() - 1); });
    QObject::connect(next, &QAbstractButton::clicked, progress_,
                     [this] { host_.command(kPageResults); });
    auto* progressLayout = new QVBoxLayout(progress_);
    progressLayout->setContentsMargins(9, 9, 9, 9);
    progressLayout->addWidget(movie_);
    progressLayout->addWidget(bar_);
    progressLayout->addWidget(errors_, 1);
    progressLayout->addLayout(ButtonRow(back, next));

    results_ = new PageWidget;
    list_ = new QTreeWidget;
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QObject::tr("Movie"), QObject::tr("Images"), QObject::tr("Index photo"),
                            QObject::tr("Error")});
    list_->header()->resizeSection(0, 260);
    auto* resultsBack = new BitmapButton(QObject::tr("Back"), QStringLiteral(":/buttons/prev.svg"),
                                         QStringLiteral(":/buttons/prev_hot.svg"));
    resultsBack->SetLeftAligned(true);
    auto* report =
        new BitmapButton(QObject::tr("HTML Report"), QStringLiteral(":/buttons/report.svg"),
                         QStringLiteral(":/buttons/report_hot.svg"));
    QObject::connect(resultsBack, &QAbstractButton::clicked, results_,
                     [this] { host_.command(kPageProgress); });
    QObject::connect(report, &QAbstractButton::clicked, results_,
                     [this] { host_.command(kGenerateReport); });
    auto* resultsLayout = new QVBoxLayout(results_);
    resultsLayout->setContentsMargins(9, 9, 9, 9);
    resultsLayout->addWidget(list_, 1);
    resultsLayout->addLayout(ButtonRow(resultsBack, report));
  }

  QWidget* ProgressPage() override { return progress_; }
  QWidget* ResultsPage() override { return results_; }

  void ClearErrors() override { errors_->clear(); }
  void MovieStarted(const Movie& movie) override {
    movie_->setText(QObject::tr("Indexing %1").arg(Qs(movie.path())));
    bar_->setValue(0);
  }
  void MovieNotOpened(const Movie&, const std::string& errorText) override {
    errors_->appendPlainText(Qs(errorText));
    Reload();
  }
  void ShowProgress(int32_t, int perMille) override { bar_->setValue(perMille); }
  void ShowFrame(const FrameCopy&) override {}
  void MovieFinished(const Movie& movie) override {
    bar_->setValue(1000);
    if (movie.status == kMovieDone) preferences_.IncrementVideos();
    Reload();
  }
  void IndexPhotoFinished(const Movie&, bool) override { Reload(); }
  void ShowDecodingProblems(const std::vector<std::string>& paths) override {
    QString text = QObject::tr("No installed decoder can play these videos:");
    for (const std::string& path : paths) text += QLatin1Char('\n') + Qs(path);
    QMessageBox::warning(host_.window, QObject::tr("Decoding problems"), text);
  }
  void Reload() override {
    list_->clear();
    for (const Movie& movie : project_.Movies()) {
      if (movie.status != kMovieDone && movie.status != kMovieFailed) continue;
      new QTreeWidgetItem(list_, {Qs(movie.path()), QString::number(movie.images.size()),
                                  Qs(movie.indexphoto), Qs(movie.error).simplified()});
    }
  }

 private:
  static QHBoxLayout* ButtonRow(QWidget* left, QWidget* right) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(left);
    row->addWidget(right);
    return row;
  }

  CProject& project_;
  Preferences& preferences_;
  RunPagesHost host_;
  PageWidget* progress_;
  PageWidget* results_;
  QLabel* movie_;
  QProgressBar* bar_;
  QPlainTextEdit* errors_;
  QTreeWidget* list_;
};

}  // namespace

std::unique_ptr<RunPages> MakeRunPages(CProject& project, Preferences& preferences,
                                       RunPagesHost host) {
#ifdef OMBRELO_HAVE_RESULTS_PAGES
  (void)preferences;
  return std::make_unique<ResultWidgetPages>(project, std::move(host));
#else
  return std::make_unique<BasicRunPages>(project, preferences, std::move(host));
#endif
}

}  // namespace ombrelo::desktop
