#include "app/desktop/run_pages.h"

#include <QVBoxLayout>

#include "app/desktop/commands.h"
#include "app/desktop/page_widget.h"
#include "app/desktop/results/decoding_problems_dialog.h"
#include "app/desktop/results/desktop_shell.h"
#include "app/desktop/results/progress_page.h"
#include "app/desktop/results/results_page.h"
#include "app/regeneration.h"
#include "app/workflow_controller.h"
#include "engine/codec_probe.h"
#include "project/movie.h"
#include "project/project.h"

namespace ombrelo::desktop {

namespace {

// The pages of results/: the live preview, the results list with its
// context menu and the review window.
class ResultWidgetPages : public RunPages {
 public:
  ResultWidgetPages(CProject& project, RunPagesHost host)
      : project_(project), host_(std::move(host)) {
    shell_.SetHelpPageHandler(host_.showHelp);
    progress_ = new ombrelo::ProgressPage;
    results_ = new ombrelo::ResultsPage(project_, shell_, *host_.commands);
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

}  // namespace

std::unique_ptr<RunPages> MakeRunPages(CProject& project, Preferences& preferences,
                                       RunPagesHost host) {
  (void)preferences;
  return std::make_unique<ResultWidgetPages>(project, std::move(host));
}

}  // namespace ombrelo::desktop
