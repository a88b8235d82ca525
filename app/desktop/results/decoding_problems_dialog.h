#pragma once
// The "Decoding problems" dialog: the movies that no installed decoder could
// play, with a Help button that opens the codec help for the selected one
// (the dialog stays open, so help can be asked for several movies) and a
// Close button.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace ombrelo::desktop {

class DecodingProblemsDialog : public QDialog {
  Q_OBJECT

 public:
  using CodecHelp = std::function<void(const std::string& moviePath)>;

  DecodingProblemsDialog(const std::vector<std::string>& paths, CodecHelp codecHelp,
                         QWidget* parent = nullptr);

  // Codec help for the selected movie; nothing when none is selected.
  void Help();

  QListWidget* List() const { return list_; }
  QPushButton* HelpButton() const { return help_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  CodecHelp codecHelp_;
  QListWidget* list_ = nullptr;
  QPushButton* help_ = nullptr;
  QPushButton* close_ = nullptr;
};

// Shows the dialog modally over the parent.
void ShowDecodingProblems(const std::vector<std::string>& paths,
                          const DecodingProblemsDialog::CodecHelp& codecHelp, QWidget* parent);

}  // namespace ombrelo::desktop
