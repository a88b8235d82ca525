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
#include "project/movie.h"
#include "project/preferences.h"
#include "project/project.h"

namespace ombrelo::desktop {

namespace {

QString Qs(const std::string& text) { return QString::fromStdString(text); }

// The progress and results of a run on two plain pages: the movie being
// indexed with its progress and errors, and the finished movies.
class BasicRunPages : public RunPages {
 public:
  BasicRunPages(CProject& project, Preferences& preferences, QWidget* window)
      : project_(project), preferences_(preferences) {
    (void)window;
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
                     [this] { emit progress_->Command(kPageSelect + backTarget_ - 1); });
    QObject::connect(next, &QAbstractButton::clicked, progress_,
                     [this] { emit progress_->Command(kPageResults); });
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
                     [this] { emit results_->Command(kPageProgress); });
    QObject::connect(report, &QAbstractButton::clicked, results_,
                     [this] { emit results_->Command(kGenerateReport); });
    auto* resultsLayout = new QVBoxLayout(results_);
    resultsLayout->setContentsMargins(9, 9, 9, 9);
    resultsLayout->addWidget(list_, 1);
    resultsLayout->addLayout(ButtonRow(resultsBack, report));
  }

  PageWidget* ProgressPage() override { return progress_; }
  PageWidget* ResultsPage() override { return results_; }
  void SetBackTarget(int page) override { backTarget_ = page; }
  int BackTarget() const override { return backTarget_; }

  void ClearErrors() override { errors_->clear(); }
  void MovieNotOpened(const Movie&, const std::string& errorText) override {
    errors_->appendPlainText(Qs(errorText));
    Reload();
  }
  void MovieStarted(const Movie& movie) override {
    movie_->setText(QObject::tr("Indexing %1").arg(Qs(movie.path())));
    bar_->setValue(0);
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
    QMessageBox::warning(progress_->window(), QObject::tr("Decoding problems"), text);
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
  PageWidget* progress_;
  PageWidget* results_;
  QLabel* movie_;
  QProgressBar* bar_;
  QPlainTextEdit* errors_;
  QTreeWidget* list_;
  int backTarget_ = kSelectPage;
};

}  // namespace

std::unique_ptr<RunPages> MakeRunPages(CProject& project, Preferences& preferences,
                                       QWidget* window) {
  return std::make_unique<BasicRunPages>(project, preferences, window);
}

}  // namespace ombrelo::desktop
