#include "app/desktop/results/desktop_shell.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QUrl>

#include "app/desktop/help_window.h"
#include "app/desktop/viewer/image_viewer.h"
#include "platform/data_folder.h"
#include "platform/debug_output.h"
#include "project/movie.h"
#include "project/preferences.h"

namespace ombrelo::desktop {
namespace {

QUrl UrlOf(const std::string& pathOrUrl) {
  const QString text = QString::fromStdString(pathOrUrl);
  const QUrl url(text);
  // "C:" style one-letter schemes do not occur here; anything else with a
  // scheme (http:, file:, mailto:) is an address, the rest a local path.
  if (url.isValid() && url.scheme().size() > 1) return url;
  return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

}  // namespace

void DesktopShell::OpenFile(const std::string& pathOrUrl) {
  if (pathOrUrl.empty()) return;
  QDesktopServices::openUrl(UrlOf(pathOrUrl));
}

void DesktopShell::ShowInFolder(const std::string& path) {
  if (path.empty()) return;
  const QFileInfo file(QString::fromStdString(path));
  const QString folder = file.absolutePath();
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    OpenFile(folder.toStdString());
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                     "/org/freedesktop/FileManager1",
                                                     "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString()} << QString();
  // Asynchronous: a file manager that has to be started first must not
  // hold up the window.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [this, folder](QDBusPendingCallWatcher* w) {
                     if (w->isError()) OpenFile(folder.toStdString());
                     w->deleteLater();
                   });
}

void DesktopShell::ShowPictures(const std::vector<std::string>& files) {
  // Owned by the main window (through the review window, say), so that it
  // closes with the program; one at a time, like the help window.
  QWidget* owner = QApplication::activeWindow();
  while (owner && owner->parentWidget()) owner = owner->parentWidget()->window();
  if (viewer_) viewer_->close();
  viewer_ = desktop::OpenImageViewer(files, owner);
}

bool DesktopShell::StartProgram(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

void DesktopShell::ShowHelpPage(const std::string& name, HelpMode mode) {
  if (helpPage_) {
    helpPage_(name, mode);
    return;
  }
  OpenFile(HelpPages::Address(name, HelpMode::notice));
}

namespace {
constexpr const char* kOpenerNames[] = {"viewer", "desktop", "command"};
}

QString ViewerCommand() {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganizationName,
                     kApplicationName);
  return settings.value(kViewerCommandKey).toString().trimmed();
}

PictureOpener PictureOpenerChoice() {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganizationName,
                     kApplicationName);
  const QString chosen = settings.value(kPictureOpenerKey).toString();
  for (const PictureOpener opener :
       {PictureOpener::viewer, PictureOpener::desktop, PictureOpener::command}) {
    if (chosen == QLatin1String(kOpenerNames[static_cast<int>(opener)])) return opener;
  }
  // Set by hand before there was a choice: the user's command stays.
  return ViewerCommand().isEmpty() ? PictureOpener::viewer : PictureOpener::command;
}

void SetPictureOpener(PictureOpener opener, const QString& command) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganizationName,
                     kApplicationName);
  settings.setValue(kPictureOpenerKey, QLatin1String(kOpenerNames[static_cast<int>(opener)]));
  settings.setValue(kViewerCommandKey, command.trimmed());
}

void OpenInViewer(DesktopShell& shell, const std::vector<std::string>& files) {
  if (files.empty()) return;
  switch (PictureOpenerChoice()) {
    case PictureOpener::viewer:
      shell.ShowPictures(files);
      return;
    case PictureOpener::desktop:
      // One program, not one per thumbnail; viewers browse the folder.
      shell.OpenFile(files.front());
      return;
    case PictureOpener::command:
      break;
  }
  QStringList arguments = QProcess::splitCommand(ViewerCommand());
  if (!arguments.isEmpty()) {
    const QString program = arguments.takeFirst();
    for (const std::string& file : files) arguments << QString::fromStdString(file);
    if (shell.StartProgram(program, arguments)) return;
    DebugOutput("Failed to start the image viewer " + program.toStdString() + "\n");
  }
  shell.ShowHelpPage(kNoViewerPage, HelpMode::notice);
}

void ViewMovieImages(DesktopShell& shell, const Movie& movie) {
  std::vector<std::string> files;
  if (!movie.ipl.empty()) {
    files.push_back(movie.ipl);
  } else {
    for (const ImageEntry& image : movie.images) files.push_back(image.path);
  }
  OpenInViewer(shell, files);
}

}  // namespace ombrelo::desktop
