// The desktop program as a German user meets it: started under
// LANG=de_DE.UTF-8, every page, menu and dialog speaks German, no English
// text of the catalogue is left on the screen, the Alt keys still do not
// collide, and Qt's own texts and the core's texts follow.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QTreeView>
#include <QXmlStreamReader>
#include <cstdlib>
#include <map>
#include <set>

#include "app/common/translations.h"
#include "app/desktop/advanced_settings_dialog.h"
#include "app/desktop/command_registry.h"
#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/help_window.h"
#include "app/desktop/main_window_dialogs.h"
#include "app/desktop/results/results_page.h"
#include "app/desktop/select_page.h"
#include "desktop/desktop_fixture.h"
#include "desktop/keyboard_walk.h"
#include "engine/capture_engine.h"
#include "platform/translate.h"
#include "project/project.h"
#include "workflow/page_generation.h"

namespace ombrelo::desktop {
namespace {

// The user's language, set before anything in the process reads the locale
// (this program's tests all run in German).
const bool kGermanUser = [] {
  setenv("LANGUAGE", "de_DE.UTF-8", 1);
  setenv("LANG", "de_DE.UTF-8", 1);
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  return true;
}();

// Every test of this program, the layout checks included, meets the
// program as it starts: translations loaded for the user's language.
class GermanProgram : public ::testing::Environment {
 public:
  void SetUp() override { LoadTranslations(testing::DesktopApplication()); }
};
const auto* const kGermanProgram = ::testing::AddGlobalTestEnvironment(new GermanProgram);

constexpr int kPages[] = {kSelectPage, kSettingsPage, kProgressPage, kResultsPage};

// The English texts of the catalogue whose German differs, with the German.
std::map<QString, QString> CatalogueEnglish() {
  QFile file(QStringLiteral(OMBRELO_SOURCE_DATA_DIR "../translations/ombrelo_de.ts"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  std::map<QString, QString> english;
  QString source;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("source")) source = xml.readElementText();
    if (xml.name() == QLatin1String("translation") &&
        xml.attributes().value(QLatin1String("type")).isEmpty()) {
      const QString german = xml.readElementText(QXmlStreamReader::IncludeChildElements);
      if (!source.contains(QLatin1String("%n")) && german != source) english[source] = german;
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  return english;
}

// Every text a user can see in the widgets below `area` (and their tips).
std::vector<QString> VisibleTexts(QWidget* area) {
  std::vector<QString> texts;
  QWidget* window = area->window();
  auto shown = [window](QWidget* w) { return w->isVisibleTo(window); };
  for (auto* w : area->findChildren<QWidget*>()) {
    if (!shown(w)) continue;
    texts.push_back(w->toolTip());
    texts.push_back(w->accessibleName());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) texts.push_back(button->text());
    if (auto* label = qobject_cast<QLabel*>(w)) texts.push_back(label->text());
    if (auto* group = qobject_cast<QGroupBox*>(w)) texts.push_back(group->title());
    if (auto* edit = qobject_cast<QLineEdit*>(w)) texts.push_back(edit->placeholderText());
    if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model()) {
      for (int column = 0; column < view->model()->columnCount(); ++column)
        texts.push_back(view->model()->headerData(column, Qt::Horizontal).toString());
    }
  }
  return texts;
}

class GermanTest : public testing::DesktopTest {
 protected:
  void SetUp() override {
    showTutorials_ = false;
    DesktopTest::SetUp();
    ASSERT_TRUE(kGermanUser);
    // As the program does at start, before its windows are made.
    ASSERT_EQ(LoadTranslations(*QCoreApplication::instance()), QStringLiteral("de"));
    project_ = std::make_unique<CProject>(Folder());
    session_ = std::make_unique<DesktopSession>(*project_, CaptureEngine::Instance(), *preferences_,
                                                pages_);
    Window().show();
  }
  void TearDown() override {
    session_.reset();
    DesktopTest::TearDown();
  }
  MainWindow& Window() { return session_->window; }
  void Show(int page) {
    Window().Dispatch(PageCommand(page));
    ASSERT_EQ(Window().CurrentPage(), page);
  }
  // No text is one of the catalogue's English texts.
  void ExpectNoEnglish(const std::vector<QString>& texts, const std::string& where) {
    for (const QString& text : texts)
      EXPECT_EQ(english_.count(text), 0u)
          << where << " shows \"" << text.toStdString() << "\" in English, not \""
          << english_[text].toStdString() << "\"";
  }
  static bool Has(const std::vector<QString>& texts, const char* wanted) {
    return std::find(texts.begin(), texts.end(), QString::fromUtf8(wanted)) != texts.end();
  }

  std::map<QString, QString> english_ = CatalogueEnglish();
  std::unique_ptr<CProject> project_;
  XsltPageGeneration pages_;
  std::unique_ptr<DesktopSession> session_;
};

TEST_F(GermanTest, EveryPageMenuAndDialogSpeaksGerman) {
  ASSERT_GT(english_.size(), 200u);
  MainWindow& w = Window();
  // The menu bar, every menu and every command (those of the context menus
  // and the review window too).
  std::vector<QString> titles;
  for (QAction* action : w.menuBar()->actions()) titles.push_back(action->text());
  EXPECT_EQ(titles,
            (std::vector<QString>{"&Datei", "&Bearbeiten", "Auf&nahme", "&Ansicht", "&Hilfe"}));
  std::vector<QString> commands;
  for (QAction* action : w.Commands().findChildren<QAction*>())
    commands.insert(commands.end(), {action->text(), action->toolTip(), action->statusTip()});
  EXPECT_TRUE(Has(commands, "&Neues Projekt"));
  EXPECT_TRUE(Has(commands, "Erneut in die &Warteschlange"));
  ExpectNoEnglish(commands, "a command");

  // Each page has a German label of its own, its title too, and nothing
  // English.
  const std::map<int, const char*> known = {{kSelectPage, "&Einstellungen"},
                                            {kSettingsPage, "Bilder speichern &in:"},
                                            {kProgressPage, "&Zurück"},
                                            {kResultsPage, "HTML-Be&richt"}};
  const std::map<int, const char*> title = {{kSelectPage, "Dateien auswählen"},
                                            {kSettingsPage, "Einstellungen"},
                                            {kProgressPage, "Indizierung"},
                                            {kResultsPage, "Ergebnisse"}};
  for (int page : kPages) {
    SCOPED_TRACE("page " + std::to_string(page));
    Show(page);
    const std::vector<QString> texts = VisibleTexts(w.PageAt(page));
    EXPECT_TRUE(Has(texts, known.at(page)));
    EXPECT_TRUE(w.windowTitle().startsWith(QStringLiteral("Unbenannt")));
    EXPECT_TRUE(w.windowTitle().endsWith(QString::fromUtf8(title.at(page))))
        << w.windowTitle().toStdString();
    ExpectNoEnglish(texts, "page " + std::to_string(page));
  }
  EXPECT_TRUE(Has(VisibleTexts(&w), "Bereit"));  // the status line
  EXPECT_TRUE(Has(VisibleTexts(w.PageAt(kResultsPage)), "Videodateien"));

  // The welcome and tutorial window.
  HelpWindow help(*preferences_, HelpPages::Address("welcome.htm", HelpMode::tutorial),
                  HelpMode::tutorial, &w);
  const std::vector<QString> helpTexts = VisibleTexts(&help);
  EXPECT_TRUE(Has(helpTexts, "Keine weiteren Hilfemeldungen zeigen"));
  ExpectNoEnglish(helpTexts, "the help window");

  // The advanced settings: German names, whole, and nothing English.
  AdvancedSettingsDialog advanced(*project_, &w);
  advanced.show();
  const std::vector<QString> advancedTexts = VisibleTexts(&advanced);
  EXPECT_TRUE(Has(advancedTexts, "Bilder öffnen mit:"));
  ExpectNoEnglish(advancedTexts, "the advanced settings");
  QHeaderView* names = advanced.List()->horizontalHeader();
  for (int row = 0; row < advanced.Model().rowCount(); ++row) {
    const QModelIndex name = advanced.Model().index(row, 0);
    QFont font = advanced.List()->font();
    if (const QVariant set = name.data(Qt::FontRole); set.isValid()) font = set.value<QFont>();
    EXPECT_GT(names->sectionSize(0), QFontMetrics(font).horizontalAdvance(name.data().toString()))
        << name.data().toString().toStdString() << " is cut";
  }
  EXPECT_EQ(advanced.Model().index(1, 0).data().toString(), QStringLiteral("JPEG-Qualität"));
  advanced.hide();

  // The question before work is dropped.
  std::vector<QString> answers;
  QString question;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    question = box->text();
    for (QAbstractButton* button : box->buttons()) answers.push_back(button->text());
    box->reject();
  });
  DefaultSaveQuestion(&w, QStringLiteral("Straße.obx"));
  EXPECT_EQ(question, QStringLiteral("Änderungen an Straße.obx speichern?"));
  std::sort(answers.begin(), answers.end());
  EXPECT_EQ(answers, (std::vector<QString>{"&Abbrechen", "&Speichern", "Ver&werfen"}));
}

TEST_F(GermanTest, AltKeysStayOwnPerPageMenuAndQuestionInGerman) {
  MainWindow& w = Window();
  for (int page : kPages) {
    Show(page);
    testing::ExpectOwnMnemonics(testing::AltKeyTexts(w.menuBar(), w.PageAt(page)),
                                "page " + std::to_string(page));
  }
  for (QAction* action : w.menuBar()->actions())
    testing::ExpectMenusHaveOwnMnemonics(action->menu());
  testing::ExpectMenusHaveOwnMnemonics(w.Results()->ContextMenu());

  // Alt+N opens "Aufnahme" (Capture), as Alt+C does in English.
  Show(kSelectPage);
  QApplication::setActiveWindow(&w);
  QMenu* capture = w.menuBar()->actions().at(2)->menu();
  QTest::keyClick(&w, Qt::Key_N, Qt::AltModifier);
  EXPECT_TRUE(capture->isVisible());
  capture->close();

  std::vector<QString> answers;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    for (QAbstractButton* button : box->buttons()) answers.push_back(button->text());
    box->reject();
  });
  DefaultLockedQuestion(&w, QStringLiteral("/srv/Straße.obx"), 42);
  EXPECT_EQ(answers.size(), 3u);
  testing::ExpectOwnMnemonics(answers, "locked question");
}

TEST_F(GermanTest, QtAndTheCoreSpeakTheSameLanguageAndEnglishFirstStaysEnglish) {
  // The core's texts come through the hook the program installs.
  EXPECT_EQ(Translate("Commands", "&Start"), "&Starten");
  EXPECT_EQ(Translate("ombrelo::desktop::MovieModel", "%n videos are missing", nullptr, 3),
            "3 Videos fehlen");
  EXPECT_EQ(Translate("ombrelo::desktop::MainWindow", "%n movies indexed", nullptr, 1),
            "1 Video indiziert");
  EXPECT_TRUE(AvailableTranslations().contains(QStringLiteral("de")));

  // Qt's own texts (the file list's columns), where its catalogues are
  // installed.
  if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                    QStringLiteral("/qtbase_de.qm"))) {
    QFileSystemModel* files = Window().Selection()->FileModel();
    EXPECT_EQ(files->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Größe"));
  }

  // A regional variant finds the language's catalogue; a user who puts
  // English first gets English, also from the core and from Qt, and a
  // second load replaces the first.
  auto& app = *QCoreApplication::instance();
  EXPECT_EQ(LoadTranslations(app, QLocale(QLocale::German, QLocale::Austria)),
            QStringLiteral("de"));
  EXPECT_EQ(LoadTranslations(app, QLocale(QLocale::English, QLocale::Germany)), QString());
  EXPECT_EQ(Translate("Commands", "&Start"), "&Start");
  EXPECT_EQ(Translate("ombrelo::desktop::MovieModel", "%n videos are missing", nullptr, 3),
            "3 videos are missing");
  EXPECT_EQ(QCoreApplication::translate("QFileSystemModel", "Size"), QStringLiteral("Size"));
  EXPECT_EQ(LoadTranslations(app, QLocale(QLocale::Japanese, QLocale::Japan)), QString());
  EXPECT_EQ(Translate("Commands", "&Start"), "&Start");
  EXPECT_EQ(LoadTranslations(app), QStringLiteral("de"));
  EXPECT_EQ(Translate("Commands", "&Start"), "&Starten");
}

TEST_F(GermanTest, EveryHelpPageHasItsGermanPageAndEnglishUsersKeepTheirs) {
  const QString data = QStringLiteral(OMBRELO_SOURCE_DATA_DIR);
  int pages = 0;
  for (const auto& [folder, mode] :
       {std::pair("dialogs", HelpMode::notice), std::pair("tutorial", HelpMode::tutorial)}) {
    for (const QString& name :
         QDir(data + folder).entryList({QStringLiteral("*.htm")}, QDir::Files)) {
      SCOPED_TRACE(name.toStdString());
      ++pages;
      const std::string address = HelpPages::Address(name.toStdString(), mode);
      EXPECT_EQ(address, (data + "de/" + folder + "/" + name).toStdString());
      QFile page(QString::fromStdString(address));
      ASSERT_TRUE(page.open(QIODevice::ReadOnly));
      const QString text = QString::fromUtf8(page.readAll());
      EXPECT_TRUE(text.contains(QStringLiteral("<html lang=\"de\">")));
      // The shared style sheet, two folders up.
      EXPECT_TRUE(text.contains(QStringLiteral("href=\"../../help.css\"")));
      EXPECT_FALSE(text.contains(QStringLiteral("OMBRELO NOTICE")) ||
                   text.contains(QStringLiteral("OMBRELO TUTORIAL")));
    }
  }
  EXPECT_GE(pages, 14);
  // The German welcome page as the help window shows it.
  HelpWindow help(*preferences_, HelpPages::Address("welcome.htm", HelpMode::notice),
                  HelpMode::notice, &Window());
  EXPECT_NE(help.Address().find("/de/dialogs/welcome.htm"), std::string::npos);

  // Under English the pages are the ones written in English.
  LoadTranslations(*QCoreApplication::instance(), QLocale(QLocale::English));
  EXPECT_EQ(HelpPages::Address("welcome.htm", HelpMode::notice),
            (data + "dialogs/welcome.htm").toStdString());
  LoadTranslations(*QCoreApplication::instance());
}

}  // namespace
}  // namespace ombrelo::desktop
