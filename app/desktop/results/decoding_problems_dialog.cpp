#include "app/desktop/results/decoding_problems_dialog.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

namespace ombrelo::desktop {

DecodingProblemsDialog::DecodingProblemsDialog(const std::vector<std::string>& paths,
                                               CodecHelp codecHelp, QWidget* parent)
    : QDialog(parent), codecHelp_(std::move(codecHelp)) {
  setWindowTitle(tr("Decoding problems"));
  auto* group = new QGroupBox(tr("Codec issue"), this);
  auto* text = new QLabel(
      tr("There were problems decoding some of your selected videos.\n\nThis seems to be because "
         "some of you videos need missing components (video codecs) to play.\n\nSelect a movie in "
         "the list and click Help to download missing components."),
      group);
  text->setWordWrap(true);
  auto* icon = new QLabel(group);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  list_ = new QListWidget(group);
  for (const std::string& path : paths) list_->addItem(QString::fromStdString(path));
  if (list_->count() > 0) list_->setCurrentRow(0);

  auto* textRow = new QHBoxLayout;
  textRow->addWidget(icon);
  textRow->addWidget(text, 1);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addLayout(textRow);
  groupLayout->addWidget(list_, 1);

  help_ = new QPushButton(tr("&Help"), this);
  help_->setDefault(true);
  close_ = new QPushButton(tr("&Close"), this);
  connect(help_, &QPushButton::clicked, this, &DecodingProblemsDialog::Help);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, &DecodingProblemsDialog::Help);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(help_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group, 1);
  layout->addLayout(buttons);
  // 273 x 183 dialog units.
  resize(410, 297);
}

void DecodingProblemsDialog::Help() {
  const QListWidgetItem* item = list_->currentItem();
  if (!item || !item->isSelected() || !codecHelp_) return;
  codecHelp_(item->text().toStdString());
}

void DecodingProblemsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget()) {
    const QRect parent = parentWidget()->window()->frameGeometry();
    move(parent.center() - rect().center());
  }
}

void ShowDecodingProblems(const std::vector<std::string>& paths,
                          const DecodingProblemsDialog::CodecHelp& codecHelp, QWidget* parent) {
  DecodingProblemsDialog dialog(paths, codecHelp, parent);
  dialog.exec();
}

}  // namespace ombrelo::desktop
