#pragma once
// The advanced settings dialog: nine further capture values in a property
// list (name on the left, value on the right, edited in place), and what
// opens pictures, and whether blank thumbnails are skipped. OK stores every
// value in the project and the choices in the preferences; Cancel stores
// nothing.
#include <QAbstractTableModel>
#include <QDialog>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVariant>
#include <functional>
#include <vector>

#include "engine/capture_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace ombrelo {
class CProject;
}

namespace ombrelo::desktop {

// The rows of a property list: a name, a description and a value that is a
// 32-bit integer or a 32-bit float.
class PropertyModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  struct Item {
    QString name;   // the key the value is checked and found by
    QString label;  // what the list shows; the name when empty
    QString description;
    bool isFloat = false;
    QVariant value;  // int or float
  };

  explicit PropertyModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void SetItems(std::vector<Item> items);
  const std::vector<Item>& Items() const { return items_; }
  const Item* Find(const QString& name) const;

  // Asked before a new text is taken; returning true refuses it.
  std::function<bool(int row, const QString& text)> vetoChange;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Converts the text to the row's kind of value. A text that does not
  // convert, or one that is vetoed, beeps and keeps the old value.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  void ValueChanged(int row);

 private:
  std::vector<Item> items_;
};

// The in-place editor: Escape cancels, Enter commits, Tab, Up and Down (and
// Left at the start, Right at the end of the text) commit and move to the
// neighbouring row.
class PropertyDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;

 signals:
  void MoveRequested(int step);

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;
};

class PropertyList : public QTableView {
  Q_OBJECT
 public:
  explicit PropertyList(QWidget* parent = nullptr);
  // Starts editing the value of a row.
  void EditRow(int row);

 private:
  void MoveEditor(int step);
};

class AdvancedSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  AdvancedSettingsDialog(CProject& project, QWidget* owner);

  PropertyModel& Model() { return model_; }
  PropertyList* List() const { return list_; }
  QLabel* Description() const { return description_; }
  // "Open pictures with:" our viewer, the desktop's default program or a
  // command (in the order of PictureOpener), and the command.
  QComboBox* PictureOpenerBox() const { return opener_; }
  QLineEdit* ViewerCommandEdit() const { return command_; }
  // "Skip blank thumbnails", kept in the preferences.
  QCheckBox* SkipBlankBox() const { return skipBlank_; }

  // Stores every value in the project, then closes.
  void accept() override;

 private:
  CProject& project_;
  PropertyModel model_;
  PropertyList* list_;
  QLabel* description_;
  QComboBox* opener_;
  QLineEdit* command_;
  QCheckBox* skipBlank_;
};

// The name the list shows for a row, in plain words.
QString ShownName(const AdvancedSetting& row);

// The value a row of the table shows for the project, and the way back.
QVariant AdvancedValue(const CProject& project, const AdvancedSetting& row);
void StoreAdvancedValue(CProject& project, const AdvancedSetting& row, const QVariant& value);

}  // namespace ombrelo::desktop
