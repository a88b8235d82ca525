#include "app/common/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <memory>
#include <string>

#include "platform/translate.h"

namespace ombrelo {
namespace {

// Where the build puts the compiled catalogues, as resources of the program.
constexpr char kCatalogueFolder[] = ":/i18n";
constexpr char kCataloguePrefix[] = "ombrelo_";

QPointer<QTranslator> g_program;
QPointer<QTranslator> g_qt;
// Written at start-up (before other threads), read by the GUI thread.
QString g_loaded;

std::string TranslateWithQt(const char* context, const char* source, const char* disambiguation,
                            int n) {
  return QCoreApplication::translate(context, source, disambiguation, n).toStdString();
}

void Remove(QCoreApplication& app, QPointer<QTranslator>& translator) {
  if (!translator) return;
  app.removeTranslator(translator);
  delete translator;
}

// "de-AT" as catalogues name it: "de_AT" (a catalogue's load falls back on
// "de" by itself).
QString CatalogueName(const QString& language) {
  QString name = language;
  return name.replace(QLatin1Char('-'), QLatin1Char('_'));
}

bool IsSourceLanguage(const QString& language) {
  return language == QLatin1String("C") || language == QLatin1String("en") ||
         language.startsWith(QLatin1String("en-")) || language.startsWith(QLatin1String("en_"));
}

}  // namespace

QStringList AvailableTranslations() {
  QStringList languages;
  const QString prefix = QString::fromLatin1(kCataloguePrefix);
  for (const QString& file : QDir(QString::fromLatin1(kCatalogueFolder))
                                 .entryList({prefix + QStringLiteral("*.qm")}, QDir::Files)) {
    languages << file.mid(prefix.size()).chopped(3);
  }
  return languages;
}

QString LoadedTranslation() { return g_loaded; }

QString LoadTranslations(QCoreApplication& app, const QLocale& locale) {
  g_loaded.clear();
  Remove(app, g_program);
  Remove(app, g_qt);
  SetTranslateHook(&TranslateWithQt);

  QString loaded, asked;
  auto program = std::make_unique<QTranslator>();
  for (const QString& language : locale.uiLanguages()) {
    if (IsSourceLanguage(language)) break;
    asked = CatalogueName(language);
    if (program->load(QString::fromLatin1(kCataloguePrefix) + asked,
                      QString::fromLatin1(kCatalogueFolder))) {
      loaded = program->language().isEmpty() ? asked : program->language();
      break;
    }
  }
  if (loaded.isEmpty()) return loaded;
  g_loaded = loaded;
  g_program = program.release();
  g_program->setParent(&app);
  app.installTranslator(g_program);

  // Qt's own texts (its file chooser, its standard buttons) in the same
  // language, when its catalogues are installed.
  auto qt = std::make_unique<QTranslator>();
  if (qt->load(QStringLiteral("qtbase_") + asked,
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    g_qt = qt.release();
    g_qt->setParent(&app);
    app.installTranslator(g_qt);
  }
  return loaded;
}

}  // namespace ombrelo
