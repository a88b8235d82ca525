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

std::string TranslateWithQt(const char* context, const char* source, const char* disambiguation,
                            int n) {
  return QCoreApplication::translate(context, source, disambiguation, n).toStdString();
}

void Remove(QCoreApplication& app, QPointer<QTranslator>& translator) {
  if (!translator) return;
  app.removeTranslator(translator);
  delete translator;
}

// "de-AT" gives "de_AT" and then "de".
QStringList Candidates(const QString& language) {
  QString name = language;
  name.replace(QLatin1Char('-'), QLatin1Char('_'));
  QStringList candidates{name};
  const qsizetype cut = name.indexOf(QLatin1Char('_'));
  if (cut > 0) candidates << name.left(cut);
  return candidates;
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

QString LoadTranslations(QCoreApplication& app, const QLocale& locale) {
  Remove(app, g_program);
  Remove(app, g_qt);
  SetTranslateHook(&TranslateWithQt);

  QString loaded;
  auto program = std::make_unique<QTranslator>();
  for (const QString& language : locale.uiLanguages()) {
    if (IsSourceLanguage(language)) break;
    for (const QString& candidate : Candidates(language)) {
      if (program->load(QString::fromLatin1(kCataloguePrefix) + candidate,
                        QString::fromLatin1(kCatalogueFolder))) {
        loaded = candidate;
        break;
      }
    }
    if (!loaded.isEmpty()) break;
  }
  if (loaded.isEmpty()) return loaded;
  g_program = program.release();
  g_program->setParent(&app);
  app.installTranslator(g_program);

  // Qt's own texts (its file chooser, its standard buttons) in the same
  // language, when its catalogues are installed.
  auto qt = std::make_unique<QTranslator>();
  const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const QString& candidate : Candidates(loaded)) {
    if (qt->load(QStringLiteral("qtbase_") + candidate, qtFolder)) {
      g_qt = qt.release();
      g_qt->setParent(&app);
      app.installTranslator(g_qt);
      break;
    }
  }
  return loaded;
}

}  // namespace ombrelo
