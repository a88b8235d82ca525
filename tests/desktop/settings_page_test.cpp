// The settings page and the advanced settings dialog: the number fields,
// the images rule, the template catalogue and the property list.
#include "app/desktop/settings_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "app/desktop/advanced_settings_dialog.h"
#include "app/desktop/bitmap_button.h"
#include "desktop/desktop_fixture.h"
#include "project/capture_settings_xml.h"
#include "project/project.h"

namespace ombrelo::desktop {
namespace {

class SettingsPageTest : public testing::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    project_ = std::make_unique<CProject>(Folder());
  }
  std::unique_ptr<CProject> project_;
};

TEST_F(SettingsPageTest, StartAfterKeepsItsValueForWhatItCannotStoreAndRoundsToFloat) {
  SettingsPage page(*project_);
  EXPECT_EQ(page.StartAfter()->text(), "60.0");
  const auto store = [&](const char* text) {
    page.StartAfter()->setText(QString::fromUtf8(text));
    page.StoreControls();
    return project_->Capture().delaybeforefirst;
  };
  EXPECT_EQ(store("12.5"), 12.5);
  EXPECT_EQ(store("-5"), 12.5);
  // The field shows what was kept, not what could not be stored.
  EXPECT_EQ(page.StartAfter()->text(), "12.5");
  EXPECT_EQ(store("soon"), 12.5);
  EXPECT_EQ(store(" 3e1 seconds"), 12.5);
  EXPECT_EQ(store("0.1"), 0.100000001490116119384765625);
  EXPECT_EQ(store(" 30 "), 30.0);
  EXPECT_EQ(store("inf"), 30.0);
  EXPECT_EQ(store("2e6"), 30.0);
  page.SaveEvery()->setText("-1");
  page.StoreControls();
  EXPECT_EQ(project_->Capture().delaybetweensamples, 180.0);

  // Folder fields are stored through the project's setters.
  page.Controls(SettingsPage::kImages).folder->setText("/srv/thumbs");
  page.StoreControls();
  EXPECT_EQ(project_->Output().thumbsFolder, "/srv/thumbs/");
}

// Makes the session's locale German (decimal comma, points grouping) for
// its lifetime.
class GermanSession {
 public:
  GermanSession() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
  ~GermanSession() { QLocale::setDefault(saved_); }

 private:
  QLocale saved_;
};

// What the question was asked with, and what it answers.
struct Asked {
  static inline QStringList texts;
  static inline bool answer = false;
  static bool Ask(QWidget*, const QString& text) {
    texts << text;
    return answer;
  }
};

// Types into a number field as the user does and leaves it with Enter.
void TypeNumber(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, text);
  QTest::keyClick(edit, Qt::Key_Return);
}

TEST_F(SettingsPageTest, NumbersAreReadAndShownInTheUsersLocaleAndVeryManyThumbnailsAreAsked) {
  GermanSession german;
  CaptureSettings capture = project_->Capture();
  capture.delaybeforefirst = 1.5;
  project_->SetCapture(capture);
  SettingsPage page(*project_);
  page.SetManyThumbnailsQuestion(&Asked::Ask);
  Asked::texts.clear();
  page.show();
  EXPECT_EQ(page.StartAfter()->text(), "1,5");
  EXPECT_EQ(page.SaveEvery()->text(), "180,0");

  // 0,5 s through a two-hour video is 14,400 thumbnails: asked first, kept on Yes.
  Asked::answer = true;
  TypeNumber(page.SaveEvery(), "0,5");
  EXPECT_EQ(project_->Capture().delaybetweensamples, 0.5);
  ASSERT_EQ(Asked::texts.size(), 1);
  EXPECT_TRUE(Asked::texts[0].contains("2:00:00.000")) << Asked::texts[0].toStdString();
  EXPECT_TRUE(Asked::texts[0].contains("14.397")) << Asked::texts[0].toStdString();
  EXPECT_NE(CaptureSettingsToXml(project_->Capture())
                .find("<delaybetweensamples>0.5</delaybetweensamples>"),
            std::string::npos);

  // No gives the old value back, in the field too.
  Asked::answer = false;
  TypeNumber(page.SaveEvery(), "0,1");
  EXPECT_EQ(project_->Capture().delaybetweensamples, 0.5);
  EXPECT_EQ(page.SaveEvery()->text(), "0,5");
  EXPECT_EQ(Asked::texts.size(), 2);

  // Fewer thumbnails are not asked about; the length is the longest known video's.
  TypeNumber(page.SaveEvery(), "2,25");
  EXPECT_EQ(project_->Capture().delaybetweensamples, 2.25);
  EXPECT_EQ(page.SaveEvery()->text(), "2,25");
  EXPECT_EQ(Asked::texts.size(), 2);

  // What is no number in the user's notation is refused as it is typed.
  page.StartAfter()->clear();
  TypeNumber(page.StartAfter(), "abc");
  EXPECT_EQ(page.StartAfter()->text(), "");
  page.StoreControls();
  EXPECT_EQ(project_->Capture().delaybeforefirst, 1.5);
  EXPECT_EQ(page.StartAfter()->text(), "1,5");
  // A point groups digits here: "0.500" is refused, never read as 500.
  page.StartAfter()->setText("0.500");
  page.StoreControls();
  EXPECT_EQ(project_->Capture().delaybeforefirst, 1.5);
}

TEST_F(SettingsPageTest, WithoutImagesThePlaylistAndWebPageAreOffAndGreyedButTheIndexPhotoIsNot) {
  SettingsPage page(*project_);
  const auto& images = page.Controls(SettingsPage::kImages);
  const auto& playlist = page.Controls(SettingsPage::kPlaylist);
  const auto& web = page.Controls(SettingsPage::kWebPage);
  const auto& index = page.Controls(SettingsPage::kIndexPhoto);
  ASSERT_TRUE(images.enabled->isChecked());
  EXPECT_TRUE(playlist.enabled->isEnabled());
  const bool playlistBefore = project_->Output().iplEnabled;

  images.enabled->click();
  EXPECT_FALSE(project_->Output().thumbsEnabled);
  EXPECT_FALSE(project_->Output().iplEnabled);
  EXPECT_FALSE(project_->Output().htmlEnabled);
  EXPECT_TRUE(project_->Output().indexphotoEnabled);
  for (const auto* c : {&playlist, &web}) {
    EXPECT_FALSE(c->enabled->isEnabled());
    EXPECT_FALSE(c->here->isEnabled());
    EXPECT_FALSE(c->folder->isEnabled());
    EXPECT_TRUE(c->browse->isEnabled());
  }
  EXPECT_TRUE(index.enabled->isEnabled());
  EXPECT_TRUE(index.here->isEnabled());

  // "Here:" opens the folder field and is written at once.
  index.here->click();
  EXPECT_TRUE(project_->Output().indexphotoUseFolder);
  EXPECT_TRUE(index.folder->isEnabled());
  index.movieFolder->click();
  EXPECT_FALSE(index.folder->isEnabled());

  // Back on: the playlist comes back as it was, and can be switched again.
  images.enabled->click();
  EXPECT_TRUE(playlist.enabled->isEnabled());
  EXPECT_EQ(project_->Output().iplEnabled, playlistBefore);
  EXPECT_EQ(playlist.enabled->isChecked(), playlistBefore);
  playlist.enabled->click();
  EXPECT_EQ(project_->Output().iplEnabled, !playlistBefore);
}

QString g_askedTitle;
QString g_chosenFolder;
QString ChooseForTest(QWidget*, const QString& title) {
  g_askedTitle = title;
  return g_chosenFolder;
}

TEST_F(SettingsPageTest, TheFolderBrowserStoresTheChosenFolderAtOnceAndCancelChangesNothing) {
  SettingsPage page(*project_);
  page.SetFolderChooser(ChooseForTest);
  const auto& playlist = page.Controls(SettingsPage::kPlaylist);
  playlist.folder->setText("typed but not stored");

  g_chosenFolder.clear();
  playlist.browse->click();
  EXPECT_EQ(g_askedTitle, "Browse for IPL folder");
  EXPECT_EQ(project_->Output().iplFolder, Folder() + "Ipl/");

  g_chosenFolder = QString::fromStdString(Folder() + "Wiedergabelisten & Co");
  playlist.browse->click();
  EXPECT_EQ(project_->Output().iplFolder, Folder() + "Wiedergabelisten & Co/");
  EXPECT_EQ(playlist.folder->text().toStdString(), Folder() + "Wiedergabelisten & Co/");
  page.Controls(SettingsPage::kIndexPhoto).browse->click();
  EXPECT_EQ(g_askedTitle, "Browse for Index Photo folder");
}

TEST_F(SettingsPageTest, PrevAndNextWrapThroughTheTemplatesAndChooseAtOnce) {
  testing::TempFolder data("data");
  for (const char* name : {"templates/web/alpha.xslt", "templates/web/beta.xslt",
                           "templates/web/gamma.xslt", "templates/index/sheet.xslt"}) {
    std::filesystem::create_directories(std::filesystem::path(data / name).parent_path());
    ASSERT_TRUE(testing::WriteFileBytes(data / name, "<x/>"));
  }
  SetApplicationDataFolder(data.Path());
  project_->SetHtmlTransform("beta.xslt");
  SettingsPage page(*project_);
  const auto& web = page.TemplateChooser(TemplateKind::kWeb);
  EXPECT_EQ(web.caption->text(), "Template: Beta");

  web.next->click();
  web.next->click();
  EXPECT_EQ(project_->Output().htmlTransform, "alpha.xslt");
  EXPECT_EQ(web.caption->text(), "Template: Alpha");
  web.prev->click();
  EXPECT_EQ(project_->Output().htmlTransform, "gamma.xslt");

  // One template: nothing to step through.
  EXPECT_FALSE(page.TemplateChooser(TemplateKind::kIndex).next->isEnabled());
}

// Types into the value of a row of the open dialog and presses a key.
void TypeIntoRow(AdvancedSettingsDialog& dialog, int row, const QString& text,
                 Qt::Key key = Qt::Key_Return) {
  QCoreApplication::processEvents();  // the previous editor goes away
  dialog.List()->EditRow(row);
  auto* editor =
      qobject_cast<QLineEdit*>(dialog.List()->indexWidget(dialog.List()->currentIndex()));
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, key);
  QCoreApplication::processEvents();  // Enter commits through a queued call
}

TEST_F(SettingsPageTest, AdvancedSettingsRefuseWhatDoesNotConvertAndStoreOnlyOnOk) {
  const CaptureSettings before = project_->Capture();
  {
    AdvancedSettingsDialog dialog(*project_, nullptr);
    dialog.show();
    const PropertyModel& model = dialog.Model();
    ASSERT_EQ(model.rowCount(), 10);
    EXPECT_EQ(model.Items()[1].name, "Jpeg quality");
    EXPECT_EQ(dialog.Description()->text(), "Click on item to edit");

    TypeIntoRow(dialog, 1, "9x");
    EXPECT_EQ(model.Items()[1].value.toInt(), 85);
    TypeIntoRow(dialog, 1, "101");
    EXPECT_EQ(model.Items()[1].value.toInt(), 85);
    EXPECT_EQ(dialog.Description()->text(), "JPEG quality must be a whole number from 1 to 100.");
    TypeIntoRow(dialog, 2, "0.75");
    EXPECT_FLOAT_EQ(model.Items()[2].value.toFloat(), 0.75f);
    dialog.reject();
  }
  EXPECT_EQ(project_->Capture(), before);
  EXPECT_EQ(project_->Output().imagescale, 0.5f);

  AdvancedSettingsDialog dialog(*project_, nullptr);
  dialog.show();
  // Escape leaves the old value.
  TypeIntoRow(dialog, 3, "640", Qt::Key_Escape);
  EXPECT_EQ(dialog.Model().Items()[3].value.toInt(), 320);
  // Down commits and moves the editor to the next row.
  TypeIntoRow(dialog, 1, "70", Qt::Key_Down);
  EXPECT_EQ(dialog.List()->currentIndex().row(), 2);
  TypeIntoRow(dialog, 5, "1");
  TypeIntoRow(dialog, 8, "12.5");
  EXPECT_EQ(dialog.Model().Items()[9].name, "Deinterlace");
  EXPECT_EQ(dialog.Model().Items()[9].value.toInt(), 1);
  TypeIntoRow(dialog, 9, "0");
  dialog.accept();
  EXPECT_FALSE(project_->Capture().deinterlace);
  EXPECT_EQ(project_->Capture().jpegquality, 70);
  EXPECT_TRUE(project_->Capture().namebyframe);
  EXPECT_EQ(project_->Capture().sampleduration, 12.5);
}

TEST_F(SettingsPageTest, AdvancedSettingsShowNamesInPlainWords) {
  AdvancedSettingsDialog dialog(*project_, nullptr);
  dialog.show();
  const PropertyModel& model = dialog.Model();
  ASSERT_EQ(model.rowCount(), 10);
  // Words of a language, capitalised at most at their start; JPEG is the one
  // name people know in capitals. No run-together words (LeastNofFrames),
  // no short forms (CS, Min, No).
  const QRegularExpression word("^(JPEG|[A-Z]?[a-z]+)$");
  const QStringList shortForms = {"cs", "min", "max", "no", "nof", "img", "imageno"};
  QStringList shown;
  for (int row = 0; row < model.rowCount(); ++row) {
    const QString name = model.data(model.index(row, 0), Qt::DisplayRole).toString();
    shown << name;
    for (const QString& part : name.split(' ')) {
      EXPECT_TRUE(word.match(part).hasMatch()) << name.toStdString();
      EXPECT_FALSE(shortForms.contains(part.toLower())) << name.toStdString();
    }
  }
  EXPECT_EQ(shown.removeDuplicates(), 0);
  EXPECT_EQ(shown[3], "Least sheet width");

  // A refused value is explained by the name the list shows, and the value
  // still goes to its setting.
  TypeIntoRow(dialog, 3, "0");
  EXPECT_EQ(dialog.Description()->text(),
            "Least sheet width must be a whole number from 1 to 16384.");
  TypeIntoRow(dialog, 0, "x");
  EXPECT_EQ(dialog.Description()->text(), "Least number of thumbnails needs a whole number.");
  TypeIntoRow(dialog, 3, "640");
  dialog.accept();
  EXPECT_EQ(project_->Capture().contactsheetminwidth, 640);
}

TEST_F(SettingsPageTest, AdvancedSettingsUseTheUsersNotation) {
  GermanSession german;
  AdvancedSettingsDialog dialog(*project_, nullptr);
  dialog.show();
  const PropertyModel& model = dialog.Model();
  EXPECT_EQ(model.data(model.index(2, 1), Qt::DisplayRole).toString(), "0,5");
  TypeIntoRow(dialog, 2, "0,75");
  EXPECT_FLOAT_EQ(model.Items()[2].value.toFloat(), 0.75f);
  TypeIntoRow(dialog, 2, "2,5");
  EXPECT_EQ(dialog.Description()->text().toStdString(), RangeMessage(NumericSetting::imagescale));
  TypeIntoRow(dialog, 8, "12.5");  // a point is no decimal point here
  EXPECT_EQ(model.Items()[8].value.toFloat(), 0.0f);
  TypeIntoRow(dialog, 3, "1.000");  // nor is it read as grouping
  EXPECT_EQ(model.Items()[3].value.toInt(), 320);
  TypeIntoRow(dialog, 8, "12,5");
  dialog.accept();
  EXPECT_EQ(project_->Capture().sampleduration, 12.5);
  EXPECT_FLOAT_EQ(project_->Output().imagescale, 0.75f);
}

}  // namespace
}  // namespace ombrelo::desktop
