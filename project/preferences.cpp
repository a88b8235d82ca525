#include "project/preferences.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include "platform/paths.h"
#include "project/project.h"

namespace ombrelo {
namespace {

QSettings UserSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                   QString::fromLatin1(kOrganizationName), QString::fromLatin1(kApplicationName));
}

void ReadValue(const QSettings& settings, const char* name, uint32_t& field) {
  const QVariant value = settings.value(QString::fromLatin1(name));
  if (!value.isValid()) return;
  bool ok = false;
  const qlonglong number = value.toLongLong(&ok);
  if (ok && number >= INT32_MIN && number <= UINT32_MAX) field = static_cast<uint32_t>(number);
}

}  // namespace

Preferences& Preferences::Instance() {
  static Preferences preferences;
  return preferences;
}

Preferences::Preferences() { Read(); }

Preferences::~Preferences() { RecordNormalEnd(); }

void Preferences::RecordNormalEnd() {
  if (firstRun_ != 0) {
    firstRun_ = 0;
    Save();
  }
}

void Preferences::Read() {
  const QSettings settings = UserSettings();
  if (settings.status() != QSettings::NoError) return;
  ReadValue(settings, "ShowTutorials", showTutorials_);
  ReadValue(settings, "FirstRun", firstRun_);
  ReadValue(settings, "Videos", videos_);
}

void Preferences::Save() {
  QSettings settings = UserSettings();
  if (settings.status() != QSettings::NoError) return;
  settings.setValue(QStringLiteral("ShowTutorials"), showTutorials_);
  settings.setValue(QStringLiteral("FirstRun"), firstRun_);
  settings.setValue(QStringLiteral("Videos"), videos_);
  settings.sync();
}

void Preferences::SetShowTutorials(bool show) {
  const uint32_t value = show ? 1 : 0;
  if (value == showTutorials_) return;
  showTutorials_ = value;
  Save();
}

bool SkipBlankThumbnails() {
  return UserSettings().value(QStringLiteral("SkipBlankThumbnails")).toInt() != 0;
}

void SetSkipBlankThumbnails(bool skip) {
  if (skip == SkipBlankThumbnails()) return;
  QSettings settings = UserSettings();
  if (skip) {
    settings.setValue(QStringLiteral("SkipBlankThumbnails"), 1);
  } else {
    settings.remove(QStringLiteral("SkipBlankThumbnails"));
  }
  settings.sync();
}

std::string SettingsFolder() {
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty()) return {};
  return paths::WithTrailingSeparator(data.toStdString()) + kOrganizationName + paths::kSeparator +
         kApplicationName + paths::kSeparator;
}

bool LoadSettingsFile(CProject& project, const std::string& folder) {
  return project.Load(folder + kSettingsFileName);
}

bool SaveSettingsFile(const CProject& project, const std::string& folder) {
  if (!folder.empty()) paths::CreateFolders(folder);
  return project.SaveWithoutMovies(folder + kSettingsFileName);
}

}  // namespace ombrelo
