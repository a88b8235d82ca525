#include "app/desktop/main_window_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "engine/codec_probe.h"
#include "platform/build_stamp.h"
#include "project/preferences.h"

namespace ombrelo::desktop {

namespace {

constexpr char kSupportMail[] = "support@tessaly.com";

QString Site(const char* page) { return QString::fromStdString(ProductWebSite()) + page; }

}  // namespace

QString DefaultFileChooser(QWidget* owner, MainWindow::FileDialog kind) {
  const bool report = kind == MainWindow::FileDialog::saveReport;
  QFileDialog dialog(owner);
  dialog.setNameFilters(
      {report ? QObject::tr("Html files (*.html)") : QObject::tr("Project files (*.obx)"),
       QObject::tr("All Files (*)")});
  dialog.setDefaultSuffix(report ? QStringLiteral("html") : QStringLiteral("obx"));
  dialog.setDirectory(QDir::homePath());
  dialog.resize(760, 480);
  if (kind == MainWindow::FileDialog::openProject) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (!report) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().front();
}

MainWindow::SaveAnswer DefaultSaveQuestion(QWidget* owner, const QString& name) {
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProgramCaption),
                  QObject::tr("Save changes to %1?").arg(name),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, owner);
  box.setDefaultButton(QMessageBox::Save);
  box.button(QMessageBox::Save)->setText(QObject::tr("&Save"));
  box.button(QMessageBox::Discard)->setText(QObject::tr("&Discard"));
  box.button(QMessageBox::Cancel)->setText(QObject::tr("&Cancel"));
  switch (box.exec()) {
    case QMessageBox::Save:
      return MainWindow::SaveAnswer::save;
    case QMessageBox::Discard:
      return MainWindow::SaveAnswer::discard;
    default:
      return MainWindow::SaveAnswer::cancel;
  }
}

MainWindow::LockedAnswer DefaultLockedQuestion(QWidget* owner, const QString& path, qint64 holder) {
  const QString who = holder > 0 ? QObject::tr("another Ombrelo window (process %1)").arg(holder)
                                 : QObject::tr("another Ombrelo window");
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProgramCaption),
                  QObject::tr("%1\nis open in %2.\n\nYou can open it read-only here, or "
                              "switch to the window that has it.")
                      .arg(path, who),
                  QMessageBox::Cancel, owner);
  QPushButton* readOnly = box.addButton(QObject::tr("Open &Read-Only"), QMessageBox::AcceptRole);
  QPushButton* show = box.addButton(QObject::tr("&Show Other Window"), QMessageBox::ActionRole);
  box.button(QMessageBox::Cancel)->setText(QObject::tr("&Cancel"));
  box.setDefaultButton(show);
  box.exec();
  if (box.clickedButton() == readOnly) return MainWindow::LockedAnswer::readOnly;
  if (box.clickedButton() == show) return MainWindow::LockedAnswer::showOther;
  return MainWindow::LockedAnswer::cancel;
}

void MainWindow::ShowAbout() {
  QDialog about(this);
  about.setWindowTitle(tr("About"));
  auto* icon = new QLabel;
  icon->setPixmap(windowIcon().pixmap(64, 64));
  auto* name = new QLabel(QStringLiteral("<b style='font-size:large'>Ombrelo</b>"));
  auto* notice = new QLabel(
      tr("Visual indexes of your videos.\nCopyright \u00a9 Tessaly. All rights reserved."));
  auto* build = new QLabel(QString::fromStdString(BuildStamp()));
  auto* count = new QLabel(tr("%n movies indexed", nullptr, int(preferences_.Videos())));
  count->setObjectName(QStringLiteral("moviesIndexed"));
  std::vector<QLabel*> lines = {name, notice, build, count};
  // Support is reached through the product web site; without one neither
  // address is shown.
  if (!ProductWebSite().empty()) {
    lines.push_back(new QLabel(QStringLiteral("<a href='mailto:%1'>%1</a>").arg(kSupportMail)));
    lines.push_back(new QLabel(QStringLiteral("<a href='%1'>%1</a>").arg(Site(""))));
    for (size_t i = lines.size() - 2; i < lines.size(); ++i) lines[i]->setOpenExternalLinks(true);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);

  auto* layout = new QGridLayout(&about);
  layout->setContentsMargins(18, 18, 18, 12);
  layout->setHorizontalSpacing(18);
  layout->addWidget(icon, 0, 0, 6, 1, Qt::AlignTop);
  int row = 0;
  for (QLabel* label : lines) layout->addWidget(label, row++, 1);
  layout->addWidget(buttons, row, 0, 1, 2);
  about.setFixedSize(about.sizeHint());
  about.exec();
}

}  // namespace ombrelo::desktop
