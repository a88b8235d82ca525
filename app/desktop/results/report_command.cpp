#include "app/desktop/results/report_command.h"

#include <QFileDialog>

#include "app/desktop/results/desktop_shell.h"
#include "project/message_port.h"
#include "project/report.h"
#include "render/xslt_service.h"

namespace ombrelo {

QString AskReportPath(QWidget* parent) {
  QFileDialog dialog(parent, QObject::tr("Generate report"), QString(),
                     QObject::tr("Html files (*.html);;All Files (*)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix("html");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

bool WriteReportAndOffer(const CProject& project, const QString& path, DesktopShell& shell) {
  if (path.isEmpty()) return false;
  const std::string file = path.toStdString();
  if (WriteProjectReport(project, file, Transform) != ReportResult::kWritten) return false;
  if (AskYesNo(kReportSavedCaption, kReportSavedQuestion)) shell.OpenFile(file);
  return true;
}

void GenerateReport(const CProject& project, DesktopShell& shell, QWidget* parent,
                    const std::function<QString()>& askPath) {
  const QString path = askPath ? askPath() : AskReportPath(parent);
  if (!path.isEmpty()) WriteReportAndOffer(project, path, shell);
}

}  // namespace ombrelo
