#pragma once
// The settings page: which outputs are made and where, the web page and
// index photo templates (browsed with Prev and Next, with a preview), and
// the two sampling delays. Check boxes, radio buttons, templates and folder
// browsing write into the project at once; the folder fields and the two
// number fields when the user leaves them and whenever the page stores its
// controls (before Save, Save As, Start and any reload of its controls).
#include <QString>
#include <array>
#include <optional>
#include <string>

#include "app/desktop/page_widget.h"
#include "engine/capture_settings.h"
#include "render/template_catalogue.h"

class QCheckBox;
class QGridLayout;
class QScrollArea;
class QLabel;
class QLineEdit;
class QRadioButton;
class QPushButton;

namespace ombrelo {
class CProject;
}

namespace ombrelo::desktop {

class BitmapButton;

class SettingsPage : public PageWidget {
  Q_OBJECT
 public:
  // One output: its check box, the "Movie folder" and "Here:" radio buttons,
  // the folder field and its browse button.
  struct OutputControls {
    QCheckBox* enabled = nullptr;
    QRadioButton* movieFolder = nullptr;
    QRadioButton* here = nullptr;
    QLineEdit* folder = nullptr;
    QPushButton* browse = nullptr;
  };
  // A template chooser: caption, preview and the two buttons.
  struct TemplateControls {
    QLabel* caption = nullptr;
    QLabel* preview = nullptr;
    BitmapButton* prev = nullptr;
    BitmapButton* next = nullptr;
  };
  enum Output { kImages = 0, kPlaylist = 1, kWebPage = 2, kIndexPhoto = 3 };

  explicit SettingsPage(CProject& project, QWidget* parent = nullptr);

  // Fills every control from the project, the templates' positions too (the
  // project was replaced or changed outside the page).
  void LoadControls();
  // Writes the folder fields and the two number fields into the project.
  void StoreControls();

  // Prev (-1) or Next (+1) through the web or index photo templates.
  void StepTemplate(TemplateKind kind, int step);
  const TemplateList& Templates(TemplateKind kind) const;

  const OutputControls& Controls(Output output) const { return outputs_[output]; }
  const TemplateControls& TemplateChooser(TemplateKind kind) const {
    return kind == TemplateKind::kWeb ? web_ : index_;
  }
  QLineEdit* StartAfter() const { return startAfter_; }
  QLineEdit* SaveEvery() const { return saveEvery_; }
  QPushButton* AdvancedButton() const { return advanced_; }

 signals:
  // The advanced settings dialog was closed with OK.
  void AdvancedSettingsAccepted();

 public:
  BitmapButton* CloseButton() const { return close_; }

  // The folder browser's choice (tests replace it); empty means cancelled.
  using FolderChooser = QString (*)(QWidget* owner, const QString& title);
  void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = chooser; }
  // Asked (text in hand) before delays that take more than kManyThumbnails
  // thumbnails of one video are stored; true keeps them. Tests replace it.
  using Question = bool (*)(QWidget* owner, const QString& text);
  void SetManyThumbnailsQuestion(Question question) { askManyThumbnails_ = question; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // The output groups below the Sample group take rows 1 to 4.
  static constexpr int kLastGroupRow = 4;
  // The Sample group's columns: the two delays, a stretch, Advanced.
  static constexpr int kAdvancedColumn = 8;

  void FitToFont();
  void Arrange();
  QWidget* MakeOutputGroup(Output output, const QString& title, const QString& checkText,
                           QWidget* extra);
  QWidget* MakeTemplateChooser(TemplateKind kind);
  void ShowTemplate(TemplateKind kind);
  // Fills the controls from the project again (what was typed has been
  // stored first).
  void ReloadControls();
  void UpdateEnabled();
  void OnEnabledClicked(Output output, bool on);
  void OnUseFolder(Output output, bool useFolder);
  void Browse(Output output);
  void OpenAdvanced();
  // The two number fields as they read, or the project's values where they
  // cannot be stored.
  CaptureSettings TypedCapture() const;
  // Shows the project's delays in the number fields: in all of them, or in
  // those that do not read as them.
  void ShowNumbers(bool all);
  // A number field was left: its value is stored, after a question when it
  // would take very many thumbnails.
  void NumberFieldLeft();

  CProject& project_;
  TemplateCatalogue catalogue_;
  QWidget* sample_;
  QGridLayout* sampleLayout_;
  // "Save every", its field and its unit, which move below "Start after"
  // when the page is narrow.
  std::array<QWidget*, 3> saveRow_;
  QWidget* images_;
  QWidget* playlist_;
  QWidget* webGroup_;
  QWidget* indexGroup_;
  QGridLayout* groupsLayout_;
  QScrollArea* scroll_;
  OutputControls outputs_[4];
  TemplateControls web_;
  TemplateControls index_;
  QLineEdit* startAfter_;
  QLineEdit* saveEvery_;
  QPushButton* advanced_;
  BitmapButton* close_;
  FolderChooser chooseFolder_;
  Question askManyThumbnails_;
  // The playlist and web page choices that unticking "Extract images to:"
  // switched off, given back when it is ticked again.
  struct SwitchedOff {
    bool playlist;
    bool webPage;
  };
  std::optional<SwitchedOff> switchedOff_;
};

}  // namespace ombrelo::desktop
