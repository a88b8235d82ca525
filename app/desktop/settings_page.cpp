#include "app/desktop/settings_page.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/desktop/advanced_settings_dialog.h"
#include "app/desktop/bitmap_button.h"
#include "app/desktop/commands.h"
#include "app/desktop/locale_number.h"
#include "imaging/qimage_bitmap.h"
#include "project/project.h"

namespace ombrelo::desktop {

namespace {

constexpr int kPreviewWidth = 160;
constexpr int kPreviewHeight = 120;

QString Qs(const std::string& text) { return QString::fromStdString(text); }

bool DefaultManyThumbnailsQuestion(QWidget* owner, const QString& text) {
  return QMessageBox::question(owner, SettingsPage::tr("Many thumbnails"), text,
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

// The length the number of thumbnails is foreseen for: the longest video of
// the project whose length is known, else a feature film's two hours.
double ForeseenLength(const CProject& project) {
  double longest = 0;
  for (const Movie& movie : project.Movies()) longest = std::max(longest, movie.length);
  return longest > 0 ? longest : 2 * 3600.0;
}

QString DefaultFolderChooser(QWidget* owner, const QString& title) {
  return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

const char* BrowseTitle(int output) {
  static const char* const titles[] = {
      QT_TRANSLATE_NOOP("ombrelo::desktop::SettingsPage", "Browse for Thumbnail folder"),
      QT_TRANSLATE_NOOP("ombrelo::desktop::SettingsPage", "Browse for IPL folder"),
      QT_TRANSLATE_NOOP("ombrelo::desktop::SettingsPage", "Browse for HTML folder"),
      QT_TRANSLATE_NOOP("ombrelo::desktop::SettingsPage", "Browse for Index Photo folder")};
  return titles[output];
}

// The project's setters of each output, in the order of SettingsPage::Output.
struct OutputSetters {
  void (CProject::*enabled)(bool);
  void (CProject::*useFolder)(bool);
  void (CProject::*folder)(const std::string&);
};
const OutputSetters kOutputSetters[4] = {
    {&CProject::SetThumbsEnabled, &CProject::SetThumbsUseFolder, &CProject::SetThumbsFolder},
    {&CProject::SetIplEnabled, &CProject::SetIplUseFolder, &CProject::SetIplFolder},
    {&CProject::SetHtmlEnabled, &CProject::SetHtmlUseFolder, &CProject::SetHtmlFolder},
    {&CProject::SetIndexphotoEnabled, &CProject::SetIndexphotoUseFolder,
     &CProject::SetIndexphotoFolder},
};

// A browse button as narrow as its text lets it be, and no narrower than
// it is high.
int BrowseButtonWidth(const QPushButton* button) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  const QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, option.text);
  const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
  return qMax(text.width() + 2 * margin, button->sizeHint().height());
}

}  // namespace

SettingsPage::SettingsPage(CProject& project, QWidget* parent)
    : PageWidget(parent),
      project_(project),
      chooseFolder_(DefaultFolderChooser),
      askManyThumbnails_(DefaultManyThumbnailsQuestion) {
  const OutputSettings& output = project_.Output();
  catalogue_ = LoadTemplateCatalogue(output.htmlTransform, output.indexphotoTransform,
                                     output.reportTransform);

  // Sample: the two delays and the advanced settings.
  sample_ = new QGroupBox(tr("Sample"));
  sampleLayout_ = new QGridLayout(sample_);
  startAfter_ = new QLineEdit;
  saveEvery_ = new QLineEdit;
  // Numbers as the user writes them; what cannot be read as one is refused.
  for (QLineEdit* edit : {startAfter_, saveEvery_}) {
    edit->setAlignment(Qt::AlignRight);
    edit->setValidator(MakeFieldValidator(kMaxSeconds, edit));
  }
  advanced_ = new QPushButton(tr("&Advanced..."));
  connect(advanced_, &QPushButton::clicked, this, &SettingsPage::OpenAdvanced);
  // "Start after" takes columns 0 to 2, "Save every" columns 4 to 6 beside
  // it or 0 to 2 below it, so that the fields line up; Advanced keeps the
  // right end.
  saveRow_ = {new QLabel(tr("Save every")), saveEvery_, new QLabel(tr("seconds"))};
  QWidget* const startRow[] = {new QLabel(tr("Start after")), startAfter_,
                               new QLabel(tr("seconds"))};
  for (int column = 0; column < 3; ++column) sampleLayout_->addWidget(startRow[column], 0, column);
  sampleLayout_->addWidget(advanced_, 0, kAdvancedColumn);
  sampleLayout_->setColumnStretch(kAdvancedColumn - 1, 1);

  images_ = MakeOutputGroup(kImages, tr("Image files"), tr("Extract &images to:"), nullptr);
  playlist_ = MakeOutputGroup(kPlaylist, tr("Tessaly image playlist"), tr("Generate p&laylist to:"),
                              nullptr);
  webGroup_ = MakeOutputGroup(kWebPage, tr("Web page"), tr("Generate &web pages to:"),
                              MakeTemplateChooser(TemplateKind::kWeb));
  indexGroup_ = MakeOutputGroup(kIndexPhoto, tr("Index photo"), tr("Generate index ph&otos to:"),
                                MakeTemplateChooser(TemplateKind::kIndex));

  close_ = new BitmapButton(tr("Clo&se"), QStringLiteral(":/buttons/close.svg"),
                            QStringLiteral(":/buttons/close_hot.svg"));
  connect(close_, &QAbstractButton::clicked, this, [this] { emit Command(kPageSelect); });

  // The groups scroll when the page is lower than they are, and stand in
  // one column when two do not fit side by side; Close stays in the
  // bottom right corner.
  auto* groups = new QWidget;
  groupsLayout_ = new QGridLayout(groups);
  groupsLayout_->setContentsMargins(0, 0, 0, 0);
  groupsLayout_->setHorizontalSpacing(9);
  groupsLayout_->setVerticalSpacing(6);
  groupsLayout_->setRowStretch(kLastGroupRow + 1, 1);
  scroll_ = new QScrollArea;
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(true);
  scroll_->setWidget(groups);
  groups->setAutoFillBackground(false);  // the page background shows through
  scroll_->viewport()->setAutoFillBackground(false);
  scroll_->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(9, 9, 9, 9);
  layout->setSpacing(6);
  layout->addWidget(scroll_, 1);
  layout->addWidget(close_, 0, Qt::AlignRight | Qt::AlignBottom);
  FitToFont();
  // Tab goes as one reads: the two delays and Advanced on their line (the
  // second delay moves into it only when the page is arranged), the groups,
  // Close at the end.
  setTabOrder(startAfter_, saveEvery_);
  setTabOrder(saveEvery_, advanced_);
  setTabOrder(index_.next, close_);

  // What is typed reaches the project when the field is left.
  for (QLineEdit* edit : {outputs_[kImages].folder, outputs_[kPlaylist].folder,
                          outputs_[kWebPage].folder, outputs_[kIndexPhoto].folder}) {
    connect(edit, &QLineEdit::editingFinished, this, &SettingsPage::StoreControls);
  }
  for (QLineEdit* edit : {startAfter_, saveEvery_})
    connect(edit, &QLineEdit::editingFinished, this, &SettingsPage::NumberFieldLeft);
  LoadControls();
}

// The Sample group on one line or two, the output groups in two columns or
// one: as many side by side as the page's width holds. The width counts a
// vertical scroll bar, so that the choice does not flip when one appears.
void SettingsPage::Arrange() {
  const auto sampleWidth = [this](bool oneLine) {
    for (int i = 0; i < 3; ++i) {
      sampleLayout_->removeWidget(saveRow_[i]);
      sampleLayout_->addWidget(saveRow_[i], oneLine ? 0 : 1, oneLine ? 4 + i : i);
    }
    // Between the two delays on one line, a gap of two letters.
    sampleLayout_->setColumnMinimumWidth(3, oneLine ? 2 * fontMetrics().averageCharWidth() : 0);
    const QMargins frame = sample_->contentsMargins();
    return sampleLayout_->minimumSize().width() + frame.left() + frame.right();
  };
  const QMargins margins = groupsLayout_->contentsMargins();
  const int spacing = groupsLayout_->horizontalSpacing();
  const int available = scroll_->width() - 2 * scroll_->frameWidth() - margins.left() -
                        margins.right() - scroll_->verticalScrollBar()->sizeHint().width();
  const auto width = [](QWidget* group) { return group->minimumSizeHint().width(); };
  const int oneLineSample = sampleWidth(true);
  const bool sampleOnOneLine = oneLineSample <= available;
  if (!sampleOnOneLine) sampleWidth(false);
  const bool twoColumns = sampleOnOneLine &&
                          width(images_) + spacing + width(playlist_) <= available &&
                          width(webGroup_) + spacing + width(indexGroup_) <= available;

  QWidget* const groups[] = {sample_, images_, playlist_, webGroup_, indexGroup_};
  for (QWidget* group : groups) groupsLayout_->removeWidget(group);
  groupsLayout_->addWidget(sample_, 0, 0, 1, 2);
  for (int i = 1; i < 5; ++i) {
    if (twoColumns)
      groupsLayout_->addWidget(groups[i], 1 + (i - 1) / 2, (i - 1) % 2);
    else
      groupsLayout_->addWidget(groups[i], i, 0, 1, 2);
  }
  groupsLayout_->setColumnStretch(0, 1);
  groupsLayout_->setColumnStretch(1, twoColumns ? 1 : 0);
}

bool SettingsPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scroll_ && event->type() == QEvent::Resize) Arrange();
  return PageWidget::eventFilter(watched, event);
}

// The widths that follow the font: the delay fields hold a number of
// seconds, a folder field ten letters at least, a browse button its text.
void SettingsPage::FitToFont() {
  for (QLineEdit* edit : {startAfter_, saveEvery_}) {
    const QFontMetrics metrics = edit->fontMetrics();
    edit->setMaximumWidth(metrics.horizontalAdvance(QStringLiteral("00000.0")) +
                          2 * metrics.averageCharWidth() + 4);
  }
  for (OutputControls& c : outputs_) {
    c.folder->setMinimumWidth(10 * c.folder->fontMetrics().averageCharWidth());
    c.browse->setFixedWidth(BrowseButtonWidth(c.browse));
  }
  Arrange();
}

void SettingsPage::changeEvent(QEvent* event) {
  // The sizes follow a new font once every child has it.
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
    QMetaObject::invokeMethod(this, &SettingsPage::FitToFont, Qt::QueuedConnection);
  PageWidget::changeEvent(event);
}

QWidget* SettingsPage::MakeOutputGroup(Output output, const QString& title,
                                       const QString& checkText, QWidget* extra) {
  OutputControls& c = outputs_[output];
  auto* group = new QGroupBox(title);
  c.enabled = new QCheckBox(checkText);
  c.movieFolder = new QRadioButton(tr("Movie folder"));
  c.here = new QRadioButton(tr("Here:"));
  c.folder = new QLineEdit;
  c.browse = new QPushButton(tr("..."));
  c.browse->setToolTip(tr("Choose the folder"));
  c.browse->setAccessibleName(c.browse->toolTip());

  auto* layout = new QGridLayout(group);
  layout->setVerticalSpacing(6);
  layout->addWidget(c.enabled, 0, 0, 1, 4);
  layout->addWidget(c.movieFolder, 1, 0);
  layout->addWidget(c.here, 1, 1);
  layout->addWidget(c.folder, 1, 2);
  layout->addWidget(c.browse, 1, 3);
  layout->setColumnStretch(2, 1);
  if (extra) layout->addWidget(extra, 2, 0, 1, 4);

  connect(c.enabled, &QCheckBox::clicked, this,
          [this, output](bool on) { OnEnabledClicked(output, on); });
  connect(c.movieFolder, &QRadioButton::clicked, this,
          [this, output] { OnUseFolder(output, false); });
  connect(c.here, &QRadioButton::clicked, this, [this, output] { OnUseFolder(output, true); });
  connect(c.browse, &QPushButton::clicked, this, [this, output] { Browse(output); });
  return group;
}

QWidget* SettingsPage::MakeTemplateChooser(TemplateKind kind) {
  TemplateControls& t = kind == TemplateKind::kWeb ? web_ : index_;
  auto* box = new QWidget;
  t.caption = new QLabel;
  t.preview = new QLabel;
  t.preview->setFixedSize(kPreviewWidth, kPreviewHeight);
  t.preview->setFrameShape(QFrame::StyledPanel);
  t.preview->setAlignment(Qt::AlignCenter);
  // Both choosers sit on one page: each has keys of its own.
  const bool web = kind == TemplateKind::kWeb;
  t.prev = new BitmapButton(web ? tr("&Prev") : tr("P&rev"), QStringLiteral(":/buttons/prev.svg"),
                            QStringLiteral(":/buttons/prev_hot.svg"));
  t.prev->SetLeftAligned(true);
  t.next = new BitmapButton(web ? tr("&Next") : tr("Ne&xt"), QStringLiteral(":/buttons/next.svg"),
                            QStringLiteral(":/buttons/next_hot.svg"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(t.prev);
  buttons->addWidget(t.next);
  buttons->addStretch(1);
  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(tr("Select layout:")));
  side->addWidget(t.caption);
  side->addStretch(1);
  side->addLayout(buttons);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 4, 0, 0);
  layout->addWidget(t.preview);
  layout->addLayout(side, 1);
  connect(t.prev, &QAbstractButton::clicked, this, [this, kind] { StepTemplate(kind, -1); });
  connect(t.next, &QAbstractButton::clicked, this, [this, kind] { StepTemplate(kind, +1); });
  return box;
}

const TemplateList& SettingsPage::Templates(TemplateKind kind) const {
  return kind == TemplateKind::kWeb ? catalogue_.web : catalogue_.index;
}

void SettingsPage::ShowTemplate(TemplateKind kind) {
  const TemplateList& list = Templates(kind);
  TemplateControls& t = kind == TemplateKind::kWeb ? web_ : index_;
  t.prev->setEnabled(list.names.size() > 1);
  t.next->setEnabled(list.names.size() > 1);
  if (list.names.empty()) {
    t.caption->setText(tr("No templates installed"));
    t.preview->clear();
    return;
  }
  const std::string& name = list.names[list.selected];
  t.caption->setText(
      Qs(kind == TemplateKind::kWeb ? WebTemplateCaption(name) : IndexTemplateCaption(name)));
  const QImage preview = LoadQImage(TemplatePreviewPath(kind, name));
  if (preview.isNull()) {
    t.preview->clear();
  } else {
    t.preview->setPixmap(QPixmap::fromImage(preview.scaled(
        kPreviewWidth - 2, kPreviewHeight - 2, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  }
}

void SettingsPage::StepTemplate(TemplateKind kind, int step) {
  TemplateList& list = kind == TemplateKind::kWeb ? catalogue_.web : catalogue_.index;
  const int count = static_cast<int>(list.names.size());
  if (count == 0) return;
  list.selected = (list.selected + step + count) % count;
  const std::string& name = list.names[list.selected];
  if (kind == TemplateKind::kWeb)
    project_.SetHtmlTransform(name);
  else
    project_.SetIndexphotoTransform(name);
  ShowTemplate(kind);
}

void SettingsPage::LoadControls() {
  const OutputSettings& o = project_.Output();
  const auto position = [](const TemplateList& list, const std::string& name) {
    const auto found = std::find(list.names.begin(), list.names.end(), name);
    return found == list.names.end() ? 0 : static_cast<int>(found - list.names.begin());
  };
  catalogue_.web.selected = position(catalogue_.web, o.htmlTransform);
  catalogue_.index.selected = position(catalogue_.index, o.indexphotoTransform);
  ShowTemplate(TemplateKind::kWeb);
  ShowTemplate(TemplateKind::kIndex);
  switchedOff_.reset();
  ReloadControls();
}

void SettingsPage::ReloadControls() {
  const OutputSettings& o = project_.Output();
  outputs_[kPlaylist].folder->setText(Qs(o.iplFolder));
  outputs_[kImages].folder->setText(Qs(o.thumbsFolder));
  outputs_[kWebPage].folder->setText(Qs(o.htmlFolder));
  outputs_[kIndexPhoto].folder->setText(Qs(o.indexphotoFolder));

  // The images rule: without thumbnails there is no playlist and no web page.
  if (!o.thumbsEnabled) {
    project_.SetIplEnabled(false);
    project_.SetHtmlEnabled(false);
  }
  outputs_[kImages].enabled->setChecked(o.thumbsEnabled);
  outputs_[kPlaylist].enabled->setChecked(o.iplEnabled);
  outputs_[kWebPage].enabled->setChecked(o.htmlEnabled);
  outputs_[kIndexPhoto].enabled->setChecked(o.indexphotoEnabled);

  const bool useFolder[4] = {o.thumbsUseFolder, o.iplUseFolder, o.htmlUseFolder,
                             o.indexphotoUseFolder};
  for (int output = 0; output < 4; ++output) {
    (useFolder[output] ? outputs_[output].here : outputs_[output].movieFolder)->setChecked(true);
  }
  UpdateEnabled();

  ShowNumbers(true);
}

void SettingsPage::ShowNumbers(bool all) {
  // One decimal at least, more where the value has them, in the user's notation.
  const CaptureSettings& capture = std::as_const(project_).Capture();
  const auto show = [all](QLineEdit* edit, double value) {
    const std::optional<double> shown = ReadFieldNumber(edit->text());
    if (all || !shown || static_cast<float>(*shown) != static_cast<float>(value))
      edit->setText(ShowFieldNumber(value, 1));
  };
  show(startAfter_, capture.delaybeforefirst);
  show(saveEvery_, capture.delaybetweensamples);
}

// Which controls can be used follows the project: an output's choices while
// it is made, its folder field while it goes "Here:", and the playlist and
// web page only while thumbnails are extracted. The browse buttons stay.
void SettingsPage::UpdateEnabled() {
  const OutputSettings& o = project_.Output();
  const bool images = o.thumbsEnabled;
  const bool enabled[4] = {images, images && o.iplEnabled, images && o.htmlEnabled,
                           o.indexphotoEnabled};
  const bool useFolder[4] = {o.thumbsUseFolder, o.iplUseFolder, o.htmlUseFolder,
                             o.indexphotoUseFolder};
  for (int output = 0; output < 4; ++output) {
    OutputControls& c = outputs_[output];
    if (output == kPlaylist || output == kWebPage) c.enabled->setEnabled(images);
    c.movieFolder->setEnabled(enabled[output]);
    c.here->setEnabled(enabled[output]);
    c.folder->setEnabled(enabled[output] && useFolder[output]);
  }
}

void SettingsPage::OnEnabledClicked(Output output, bool on) {
  if (output != kImages) {
    const auto setEnabled = kOutputSetters[output].enabled;
    (project_.*setEnabled)(on);
    UpdateEnabled();
    return;
  }
  // The images rule applies at once. The playlist and web page it switches
  // off come back when the images do.
  StoreControls();
  const OutputSettings& o = project_.Output();
  if (!on && o.thumbsEnabled) switchedOff_ = SwitchedOff{o.iplEnabled, o.htmlEnabled};
  project_.SetThumbsEnabled(on);
  if (on && switchedOff_) {
    project_.SetIplEnabled(switchedOff_->playlist);
    project_.SetHtmlEnabled(switchedOff_->webPage);
    switchedOff_.reset();
  }
  ReloadControls();
}

void SettingsPage::OnUseFolder(Output output, bool useFolder) {
  const auto setUseFolder = kOutputSetters[output].useFolder;
  (project_.*setUseFolder)(useFolder);
  UpdateEnabled();
}

void SettingsPage::Browse(Output output) {
  const QString folder = chooseFolder_(window(), tr(BrowseTitle(output)));
  if (folder.isEmpty()) return;
  StoreControls();  // the other fields keep what was typed
  const auto setFolder = kOutputSetters[output].folder;
  (project_.*setFolder)(folder.toStdString());
  ReloadControls();
}

void SettingsPage::StoreControls() {
  // Each setter is taken into a local before the call: GCC 12 with the
  // undefined-behaviour sanitizer miscompiles an indexed member-function
  // pointer called in one expression.
  for (int output = 0; output < 4; ++output) {
    const auto setFolder = kOutputSetters[output].folder;
    (project_.*setFolder)(outputs_[output].folder->text().toStdString());
  }

  project_.SetCapture(TypedCapture());
  // A text that is no number, a negative one or one beyond what a schedule
  // can be computed with kept the old value, which the field shows again.
  ShowNumbers(false);
}

CaptureSettings SettingsPage::TypedCapture() const {
  CaptureSettings capture = project_.Capture();
  const auto take = [](const QLineEdit* edit, NumericSetting setting, double& field) {
    const std::optional<double> typed = ReadFieldNumber(edit->text());
    if (!typed) return;
    const double value = static_cast<float>(*typed);
    if (value >= 0 && RangeOf(setting).Contains(value)) field = value;
  };
  take(startAfter_, NumericSetting::delaybeforefirst, capture.delaybeforefirst);
  take(saveEvery_, NumericSetting::delaybetweensamples, capture.delaybetweensamples);
  return capture;
}

void SettingsPage::NumberFieldLeft() {
  const CaptureSettings typed = TypedCapture();
  if (typed == project_.Capture()) {
    StoreControls();
    return;
  }
  // More thumbnails than anyone looks through are taken only when the user
  // says so; otherwise the fields go back to what they were.
  const double seconds = ForeseenLength(project_);
  const int64_t count = PredictedThumbnails(typed, seconds);
  if (count > kManyThumbnails && PredictedThumbnails(project_.Capture(), seconds) <= count) {
    // The counts are read, not typed: grouped as the user writes them.
    const QLocale locale;
    const QString text =
        tr("With these settings a video of %1 gives %2 thumbnails (more than %3).\n\n"
           "Keep these settings?")
            .arg(QString::fromStdString(LengthText(seconds)),
                 locale.toString(static_cast<qlonglong>(count)),
                 locale.toString(static_cast<qlonglong>(kManyThumbnails)));
    if (!askManyThumbnails_(window(), text)) {
      ShowNumbers(true);
      return;
    }
  }
  StoreControls();
}

void SettingsPage::OpenAdvanced() {
  AdvancedSettingsDialog dialog(project_, window());
  if (dialog.exec() == QDialog::Accepted) emit AdvancedSettingsAccepted();
}

}  // namespace ombrelo::desktop
