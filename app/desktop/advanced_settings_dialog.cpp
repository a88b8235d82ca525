#include "app/desktop/advanced_settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/desktop/locale_number.h"
#include "app/desktop/results/desktop_shell.h"
#include "project/preferences.h"
#include "project/project.h"

namespace ombrelo::desktop {

namespace {
constexpr char kClickToEdit[] =
    QT_TRANSLATE_NOOP("ombrelo::desktop::AdvancedSettingsDialog", "Click on item to edit");
}

// ---- PropertyModel

void PropertyModel::SetItems(std::vector<Item> items) {
  beginResetModel();
  items_ = std::move(items);
  endResetModel();
}

const PropertyModel::Item* PropertyModel::Find(const QString& name) const {
  for (const Item& item : items_) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

int PropertyModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int PropertyModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant PropertyModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Item& item = items_[index.row()];
  if (role == Qt::DisplayRole || role == Qt::EditRole) {
    if (index.column() == 0) return item.label.isEmpty() ? item.name : item.label;
    // In the user's notation, as the page's number fields.
    const QLocale locale = FieldLocale();
    return item.isFloat ? locale.toString(static_cast<double>(item.value.toFloat()), 'g', 6)
                        : locale.toString(item.value.toInt());
  }
  if (role == Qt::ToolTipRole) return item.description;
  if (role == Qt::FontRole && index.column() == 0) {
    QFont font;
    font.setBold(true);
    return font;
  }
  return {};
}

QVariant PropertyModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == 0 ? tr("Property") : tr("Value");
}

Qt::ItemFlags PropertyModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (index.column() == 1) flags |= Qt::ItemIsEditable;
  return flags;
}

bool PropertyModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || index.column() != 1 || index.row() >= rowCount()) return false;
  Item& item = items_[index.row()];
  const QString text = value.toString().trimmed();
  if (vetoChange && vetoChange(index.row(), text)) {
    QApplication::beep();
    return false;
  }
  bool ok = false;
  QVariant converted;
  if (item.isFloat) {
    const std::optional<double> number = ReadFieldNumber(text);
    ok = number.has_value();
    if (ok) converted = static_cast<float>(*number);
  } else {
    const std::optional<int> number = ReadFieldWholeNumber(text);
    ok = number.has_value();
    if (ok) converted = *number;
  }
  if (!ok) {
    QApplication::beep();
    return false;
  }
  item.value = converted;
  emit dataChanged(index, index);
  emit ValueChanged(index.row());
  return true;
}

// ---- PropertyDelegate

QWidget* PropertyDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex&) const {
  auto* editor = new QLineEdit(parent);
  editor->setFrame(false);
  return editor;
}

bool PropertyDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* editor = qobject_cast<QLineEdit*>(object);
  if (editor && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    int step = 0;
    switch (key->key()) {
      case Qt::Key_Tab:
      case Qt::Key_Down:
        step = 1;
        break;
      case Qt::Key_Backtab:
      case Qt::Key_Up:
        step = -1;
        break;
      case Qt::Key_Left:
        if (editor->cursorPosition() == 0 && !editor->hasSelectedText()) step = -1;
        break;
      case Qt::Key_Right:
        if (editor->cursorPosition() == editor->text().size() && !editor->hasSelectedText())
          step = 1;
        break;
      default:
        break;
    }
    if (step != 0) {
      emit commitData(editor);
      emit closeEditor(editor, QAbstractItemDelegate::NoHint);
      emit MoveRequested(step);
      return true;
    }
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

// ---- PropertyList

PropertyList::PropertyList(QWidget* parent) : QTableView(parent) {
  auto* delegate = new PropertyDelegate(this);
  setItemDelegate(delegate);
  connect(delegate, &PropertyDelegate::MoveRequested, this, &PropertyList::MoveEditor);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::CurrentChanged |
                  QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setMinimumSectionSize(10);
  setWordWrap(false);
  setTabKeyNavigation(false);
}

void PropertyList::EditRow(int row) {
  const QModelIndex value = model()->index(row, 1);
  if (!value.isValid()) return;
  setCurrentIndex(value);
  edit(value);
}

void PropertyList::MoveEditor(int step) {
  const int row = currentIndex().row() + step;
  if (row < 0 || row >= model()->rowCount()) return;
  EditRow(row);
}

// ---- Values of the project

QString ShownName(const AdvancedSetting& row) {
  using F = AdvancedSetting::Field;
  switch (row.field) {
    case F::leastnofframes:
      return QCoreApplication::translate("AdvancedSettings", "Least number of thumbnails");
    case F::jpegquality:
      return QCoreApplication::translate("AdvancedSettings", "JPEG quality");
    case F::imagescale:
      return QCoreApplication::translate("AdvancedSettings", "Scale factor");
    case F::contactsheetminwidth:
      return QCoreApplication::translate("AdvancedSettings", "Least sheet width");
    case F::contactsheetminheight:
      return QCoreApplication::translate("AdvancedSettings", "Least sheet height");
    case F::namebyframe:
      return QCoreApplication::translate("AdvancedSettings", "Name by frame number");
    case F::notimetag:
      return QCoreApplication::translate("AdvancedSettings", "Name by sequence number");
    case F::imageformat:
      return QCoreApplication::translate("AdvancedSettings", "Picture format");
    case F::sampleduration:
      return QCoreApplication::translate("AdvancedSettings", "Seconds to capture");
    case F::deinterlace:
      return QCoreApplication::translate("AdvancedSettings", "Deinterlace");
  }
  return QString::fromUtf8(row.name);
}

QVariant AdvancedValue(const CProject& project, const AdvancedSetting& row) {
  const CaptureSettings& c = project.Capture();
  using F = AdvancedSetting::Field;
  switch (row.field) {
    case F::leastnofframes:
      return c.leastnofframes;
    case F::jpegquality:
      return c.jpegquality;
    case F::imagescale:
      return project.Output().imagescale;
    case F::contactsheetminwidth:
      return c.contactsheetminwidth;
    case F::contactsheetminheight:
      return c.contactsheetminheight;
    case F::namebyframe:
      return c.namebyframe ? 1 : 0;
    case F::notimetag:
      return c.notimetag ? 1 : 0;
    case F::imageformat:
      return c.imageformat;
    case F::sampleduration:
      return static_cast<float>(c.sampleduration);
    case F::deinterlace:
      return c.deinterlace ? 1 : 0;
  }
  return {};
}

void StoreAdvancedValue(CProject& project, const AdvancedSetting& row, const QVariant& value) {
  CaptureSettings c = project.Capture();
  using F = AdvancedSetting::Field;
  switch (row.field) {
    case F::leastnofframes:
      c.leastnofframes = value.toInt();
      break;
    case F::jpegquality:
      c.jpegquality = value.toInt();
      break;
    case F::imagescale:
      project.SetImagescale(value.toFloat());
      break;
    case F::contactsheetminwidth:
      c.contactsheetminwidth = value.toInt();
      break;
    case F::contactsheetminheight:
      c.contactsheetminheight = value.toInt();
      break;
    case F::namebyframe:
      c.namebyframe = value.toInt() != 0;
      break;
    case F::notimetag:
      c.notimetag = value.toInt() != 0;
      break;
    case F::imageformat:
      c.imageformat = value.toInt();
      break;
    case F::sampleduration:
      c.sampleduration = static_cast<double>(value.toFloat());
      break;
    case F::deinterlace:
      c.deinterlace = value.toInt() != 0;
      break;
  }
  project.SetCapture(c);
}

// ---- AdvancedSettingsDialog

AdvancedSettingsDialog::AdvancedSettingsDialog(CProject& project, QWidget* owner)
    : QDialog(owner), project_(project) {
  setWindowTitle(tr("Advanced settings"));
  std::vector<PropertyModel::Item> items;
  for (const AdvancedSetting& row : AdvancedSettingsTable()) {
    items.push_back({QString::fromUtf8(row.name), ShownName(row),
                     QCoreApplication::translate("CaptureSettings", row.description),
                     row.kind == AdvancedSetting::Kind::real, AdvancedValue(project_, row)});
  }
  model_.SetItems(std::move(items));

  // A value outside what the setting can be honoured with is refused like
  // one that is no number; the description says what the row takes.
  model_.vetoChange = [this](int row, const QString& text) {
    double value = 0;
    std::string message;
    // The check reads C notation: the typed number is handed over in it, and
    // a text that is no number in the user's notation as "", which it refuses.
    const PropertyModel::Item& item = model_.Items()[row];
    if (ValidateAdvancedValue(item.name.toStdString(), CNotation(text, !item.isFloat).toStdString(),
                              &value, &message))
      return false;
    // The message names the setting by its key; the user knows it by the
    // name the list shows.
    QString shown = QString::fromStdString(message);
    if (!item.label.isEmpty() && shown.startsWith(item.name))
      shown = item.label + shown.mid(item.name.size());
    description_->setText(shown);
    return true;
  };

  list_ = new PropertyList;
  list_->setModel(&model_);
  // The names as wide as the longest needs (German ones are longer), and at
  // least the designed 150 pixels.
  list_->resizeColumnToContents(0);
  list_->horizontalHeader()->resizeSection(
      0, qBound(150, list_->horizontalHeader()->sectionSize(0) + 8, 300));

  description_ = new QLabel(tr(kClickToEdit));
  description_->setWordWrap(true);
  description_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  description_->setMinimumHeight(description_->fontMetrics().height() * 3);
  auto* descriptionBox = new QGroupBox(tr("Description"));
  auto* descriptionLayout = new QVBoxLayout(descriptionBox);
  descriptionLayout->addWidget(description_);
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) description_->setText(model_.Items()[current.row()].description);
          });

  opener_ = new QComboBox;
  opener_->addItems(
      {tr("Ombrelo viewer"), tr("the desktop's default program (xdg-open)"), tr("command")});
  command_ = new QLineEdit(ViewerCommand());
  command_->setPlaceholderText(tr("e.g. eog, or \"/opt/my viewer/run\" --slideshow"));
  connect(opener_, &QComboBox::currentIndexChanged, this, [this](int index) {
    command_->setEnabled(index == static_cast<int>(PictureOpener::command));
  });
  opener_->setCurrentIndex(static_cast<int>(PictureOpenerChoice()));
  command_->setEnabled(opener_->currentIndex() == static_cast<int>(PictureOpener::command));
  skipBlank_ = new QCheckBox(tr("Skip blank thumbnails (black frames, fades, title cards)"));
  skipBlank_->setToolTip(
      tr("A thumbnail that is nearly one flat colour is replaced by the first "
         "frame after it that is not, up to half the time between thumbnails."));
  skipBlank_->setChecked(SkipBlankThumbnails());
  auto* pictures = new QFormLayout;
  pictures->addRow(tr("Open pictures with:"), opener_);
  pictures->addRow(tr("Command:"), command_);
  pictures->addRow(skipBlank_);

  auto* ok = new QPushButton(tr("OK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(tr("Cancel"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* left = new QVBoxLayout;
  left->addWidget(list_, 1);
  left->addWidget(descriptionBox);
  left->addLayout(pictures);
  auto* right = new QVBoxLayout;
  right->addWidget(ok);
  right->addWidget(cancel);
  right->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right);
  resize(450, 430);
  if (owner) move(owner->window()->geometry().center() - rect().center());
}

void AdvancedSettingsDialog::accept() {
  // An edit in progress is committed as its editor loses the focus.
  list_->setFocus();
  for (const AdvancedSetting& row : AdvancedSettingsTable()) {
    if (const PropertyModel::Item* item = model_.Find(QString::fromUtf8(row.name)))
      StoreAdvancedValue(project_, row, item->value);
  }
  SetPictureOpener(static_cast<PictureOpener>(opener_->currentIndex()), command_->text());
  SetSkipBlankThumbnails(skipBlank_->isChecked());
  QDialog::accept();
}

}  // namespace ombrelo::desktop
