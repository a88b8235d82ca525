#include "app/desktop/project_lock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>

namespace ombrelo::desktop {

namespace {

QString CallName(qint64 processId) {
  return QStringLiteral("ombrelo-window-%1-%2").arg(::getuid()).arg(processId);
}

// How long a call to another window may take: it answers from its event
// loop at once, or it is not there.
constexpr int kCallMs = 1000;

}  // namespace

QString ProjectLockPath(const std::string& projectPath) {
  const QFileInfo file(QString::fromStdString(projectPath));
  return file.absolutePath() + QStringLiteral("/.") + file.fileName() + QStringLiteral(".lock");
}

std::optional<DiskState> ReadDiskState(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return DiskState{static_cast<int64_t>(st.st_size),
                   static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

ProjectLock::ProjectLock() = default;
ProjectLock::~ProjectLock() { Release(); }

bool ProjectLock::Acquire(const std::string& path, qint64* holder) {
  if (holder) *holder = 0;
  if (lock_ && path == path_) return true;
  auto lock = std::make_unique<QLockFile>(ProjectLockPath(path));
  // A lock is never taken over for its age, only when the program that holds
  // it is gone: a window may keep a project open for days.
  lock->setStaleLockTime(0);
  if (!lock->tryLock(0)) {
    if (lock->error() == QLockFile::LockFailedError) {
      qint64 pid = 0;
      QString host, app;
      if (lock->getLockInfo(&pid, &host, &app) && holder) *holder = pid;
      return false;
    }
    // No lock can be made there (a read-only folder): the file is used as
    // it is, as before.
    lock.reset();
  }
  Release();
  lock_ = std::move(lock);
  path_ = path;
  return true;
}

void ProjectLock::Release() {
  if (lock_) lock_->unlock();
  lock_.reset();
  path_.clear();
}

void ProjectLock::RememberDiskState(const std::string& path) {
  knownPath_ = path;
  known_ = ReadDiskState(path);
}

bool ProjectLock::ChangedOnDisk(const std::string& path) const {
  if (path.empty() || path != knownPath_ || !known_) return false;
  return ReadDiskState(path) != known_;
}

WindowCaller::WindowCaller(QWidget* window) {
  server_ = new QLocalServer(window);
  const QString name = CallName(QCoreApplication::applicationPid());
  // A name left by an earlier program with the same process id is stale.
  QLocalServer::removeServer(name);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) return;
  QObject::connect(server_, &QLocalServer::newConnection, window, [server = server_, window] {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
      socket->write("ok\n");
      socket->flush();
      socket->disconnectFromServer();
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      if (window->isMinimized()) window->showNormal();
      window->raise();
      window->activateWindow();
    }
  });
}

WindowCaller::~WindowCaller() {
  if (server_) server_->close();
}

bool WindowCaller::CallWindowOf(qint64 processId) {
  if (processId <= 0) return false;
  QLocalSocket socket;
  socket.connectToServer(CallName(processId));
  if (!socket.waitForConnected(kCallMs)) return false;
  return socket.waitForReadyRead(kCallMs) && socket.readLine().startsWith("ok");
}

}  // namespace ombrelo::desktop
