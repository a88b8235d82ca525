// File > Generate report: the report of the whole project, made beside the
// window so that a large project or a slow share never holds it up.
#include <QDesktopServices>
#include <QFutureWatcher>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <string>

#include "app/desktop/main_window.h"
#include "app/desktop/message_port.h"
#include "platform/debug_output.h"
#include "platform/translate.h"
#include "project/project.h"
#include "project/report.h"
#include "render/xslt_service.h"

namespace ombrelo::desktop {

namespace {

struct ReportOutcome {
  ReportResult result = ReportResult::kFailed;
  std::string failure;  // the text of the box to show, "" for none
};

}  // namespace

void MainWindow::GenerateReport() {
  const QString path = chooseFile_(this, FileDialog::saveReport);
  if (path.isEmpty()) return;
  // Only the copy of the movies is made here; the document (which reads
  // the files of videos never opened), the transformation and the file
  // write (a large project, a slow share) run on a worker, and the window
  // answers meanwhile.
  const std::string file = path.toStdString();
  ReportMovies source;
  std::string stylesheet;
  try {
    source = CopyReportMovies(project_);
    stylesheet = "report/" + project_.Output().reportTransform;
  } catch (const std::exception&) {
    DebugOutput("Failed to generate report");
    return;
  }
  using Watcher = QFutureWatcher<ReportOutcome>;
  auto* watcher = new Watcher(this);
  connect(watcher, &Watcher::finished, this, [this, watcher, path] {
    const ReportOutcome made = watcher->result();
    watcher->deleteLater();
    const bool notWritten = made.result == ReportResult::kWriteFailed;
    if (!made.failure.empty()) {
      ShowMessage(tr("Error").toStdString(), made.failure,
                  notWritten ? MessageIcon::error : MessageIcon::none,
                  notWritten ? MessageOwner::mainWindow : MessageOwner::none);
    }
    if (made.result == ReportResult::kWritten &&
        AskYesNo(TranslateKept("Report", kReportSavedCaption),
                 TranslateKept("Report", kReportSavedQuestion), MessageIcon::question)) {
      QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
  });
  const TemplateTransform transform =
      transformReport_ ? transformReport_ : TemplateTransform(TransformForReport);
  watcher->setFuture(QtConcurrent::run([source = std::move(source), stylesheet, file, transform] {
    ReportOutcome made;
    try {
      made.result =
          WriteReportPage(ReportDocument(source, file), stylesheet, file, transform, &made.failure);
    } catch (const std::exception&) {
      DebugOutput("Failed to generate report");
    }
    return made;
  }));
}

}  // namespace ombrelo::desktop
