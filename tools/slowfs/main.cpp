// ombrelo-slowfs: a read-only FUSE folder whose files answer slowly, as a
// file on a slow network share does.
//
//   ombrelo-slowfs [--delay MS] MOUNT-POINT FILE...
//
// Each FILE (a regular file) is shown in MOUNT-POINT under its own name, with
// its size and times. Every opening of a shown file answers its reads only
// once MS milliseconds (default 2000) have passed since it was opened; from
// then on they are answered at once. Other requests (looking a file up, its
// attributes, the folder's listing) are answered at once, so that a program
// that merely looks at the file is not held up.
//
// Prints "ready" on standard output once the folder is mounted, or a line
// "failed: REASON" and ends with status 1 (a file that is missing, FUSE not
// available or mounting refused, as in many containers). Runs until SIGTERM,
// SIGINT or SIGHUP, or until the process that started it ends; then
// unmounts the folder. Used by ombrelo-workflow-bench and the tests through
// tools/slowfs/slow_folder.h.
#define FUSE_USE_VERSION 34

#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct ShownFile {
  std::string name;
  std::string source;
  fuse_ino_t inode = 0;
};

// One opening of a shown file.
struct Handle {
  int fd = -1;
  Clock::time_point answersFrom;
  ~Handle() {
    if (fd >= 0) ::close(fd);
  }
};

// A read that waits for its handle's time.
struct HeldRead {
  Clock::time_point due;
  fuse_req_t request;
  std::shared_ptr<Handle> handle;
  size_t size;
  off_t offset;
  bool operator>(const HeldRead& other) const { return due > other.due; }
};

void AnswerRead(fuse_req_t request, const Handle& handle, size_t size, off_t offset) {
  std::vector<char> bytes(size);
  ssize_t got;
  do {
    got = ::pread(handle.fd, bytes.data(), size, offset);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    fuse_reply_err(request, errno);
    return;
  }
  fuse_reply_buf(request, bytes.data(), static_cast<size_t>(got));
}

class SlowFs {
 public:
  SlowFs(std::vector<ShownFile> files, std::chrono::milliseconds delay)
      : files_(std::move(files)), delay_(delay), holder_([this] { HoldReads(); }) {}
  ~SlowFs() { Stop(); }

  // Answers the reads still held and ends the holder thread; while the
  // session still exists, as the answers go through it.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (holder_.joinable()) holder_.join();
  }

  const ShownFile* ByInode(fuse_ino_t inode) const {
    for (const ShownFile& file : files_)
      if (file.inode == inode) return &file;
    return nullptr;
  }
  const ShownFile* ByName(const char* name) const {
    for (const ShownFile& file : files_)
      if (file.name == name) return &file;
    return nullptr;
  }
  const std::vector<ShownFile>& Files() const { return files_; }

  // The attributes of the root folder or a shown file; false when the
  // inode is neither or the source cannot be looked at (errno set).
  bool Attributes(fuse_ino_t inode, struct stat* info) const {
    *info = {};
    if (inode == FUSE_ROOT_ID) {
      info->st_ino = FUSE_ROOT_ID;
      info->st_mode = S_IFDIR | 0555;
      info->st_nlink = 2;
      info->st_mtime = info->st_ctime = info->st_atime = mounted_;
      return true;
    }
    const ShownFile* file = ByInode(inode);
    if (!file) {
      errno = ENOENT;
      return false;
    }
    if (::stat(file->source.c_str(), info) != 0) return false;
    info->st_ino = inode;
    info->st_mode = S_IFREG | 0444;
    info->st_nlink = 1;
    return true;
  }

  uint64_t Open(int fd) {
    auto handle = std::make_shared<Handle>();
    handle->fd = fd;
    handle->answersFrom = Clock::now() + delay_;
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t id = ++lastHandle_;
    handles_[id] = std::move(handle);
    return id;
  }
  void Release(uint64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    handles_.erase(id);  // a read still held keeps its handle
  }

  void Read(fuse_req_t request, uint64_t id, size_t size, off_t offset) {
    std::shared_ptr<Handle> handle;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = handles_.find(id);
      if (found != handles_.end()) handle = found->second;
    }
    if (!handle) {
      fuse_reply_err(request, EBADF);
      return;
    }
    if (Clock::now() >= handle->answersFrom) {
      AnswerRead(request, *handle, size, offset);
      return;
    }
    // Held by the holder thread, so that the session goes on answering
    // everything else in the meantime.
    {
      std::lock_guard<std::mutex> lock(mutex_);
      held_.push(HeldRead{handle->answersFrom, request, handle, size, offset});
    }
    wake_.notify_all();
  }

 private:
  // The holder thread: answers each held read when its time has come (all
  // of them at once when the folder goes).
  void HoldReads() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (held_.empty()) {
        if (stopping_) return;
        wake_.wait(lock);
        continue;
      }
      if (!stopping_ && Clock::now() < held_.top().due) {
        wake_.wait_until(lock, held_.top().due);
        continue;
      }
      HeldRead read = held_.top();
      held_.pop();
      lock.unlock();
      AnswerRead(read.request, *read.handle, read.size, read.offset);
      lock.lock();
    }
  }

  const std::vector<ShownFile> files_;
  const std::chrono::milliseconds delay_;
  const time_t mounted_ = ::time(nullptr);
  std::mutex mutex_;
  // Guarded by mutex_.
  std::map<uint64_t, std::shared_ptr<Handle>> handles_;
  uint64_t lastHandle_ = 0;
  std::priority_queue<HeldRead, std::vector<HeldRead>, std::greater<>> held_;
  bool stopping_ = false;
  std::condition_variable wake_;
  std::thread holder_;  // last: runs HoldReads over the fields above
};

SlowFs& Fs(fuse_req_t request) { return *static_cast<SlowFs*>(fuse_req_userdata(request)); }

constexpr double kAttributeSeconds = 1.0;

void Lookup(fuse_req_t request, fuse_ino_t parent, const char* name) {
  const ShownFile* file = parent == FUSE_ROOT_ID ? Fs(request).ByName(name) : nullptr;
  fuse_entry_param entry{};
  if (!file || !Fs(request).Attributes(file->inode, &entry.attr)) {
    fuse_reply_err(request, file ? errno : ENOENT);
    return;
  }
  entry.ino = file->inode;
  entry.attr_timeout = kAttributeSeconds;
  entry.entry_timeout = kAttributeSeconds;
  fuse_reply_entry(request, &entry);
}

void GetAttributes(fuse_req_t request, fuse_ino_t inode, fuse_file_info*) {
  struct stat info {};
  if (!Fs(request).Attributes(inode, &info)) {
    fuse_reply_err(request, errno);
    return;
  }
  fuse_reply_attr(request, &info, kAttributeSeconds);
}

void ReadFolder(fuse_req_t request, fuse_ino_t inode, size_t size, off_t offset, fuse_file_info*) {
  if (inode != FUSE_ROOT_ID) {
    fuse_reply_err(request, ENOTDIR);
    return;
  }
  std::vector<std::pair<std::string, fuse_ino_t>> entries{{".", FUSE_ROOT_ID},
                                                          {"..", FUSE_ROOT_ID}};
  for (const ShownFile& file : Fs(request).Files()) entries.emplace_back(file.name, file.inode);
  std::vector<char> buffer(size);
  size_t used = 0;
  for (size_t i = static_cast<size_t>(std::max<off_t>(offset, 0)); i < entries.size(); ++i) {
    struct stat info {};
    info.st_ino = entries[i].second;
    info.st_mode = entries[i].second == FUSE_ROOT_ID ? S_IFDIR : S_IFREG;
    const size_t needed =
        fuse_add_direntry(request, buffer.data() + used, size - used, entries[i].first.c_str(),
                          &info, static_cast<off_t>(i + 1));
    if (needed > size - used) break;
    used += needed;
  }
  fuse_reply_buf(request, buffer.data(), used);
}

void Open(fuse_req_t request, fuse_ino_t inode, fuse_file_info* info) {
  const ShownFile* file = Fs(request).ByInode(inode);
  if (!file) {
    fuse_reply_err(request, inode == FUSE_ROOT_ID ? EISDIR : ENOENT);
    return;
  }
  if ((info->flags & O_ACCMODE) != O_RDONLY) {
    fuse_reply_err(request, EROFS);
    return;
  }
  const int fd = ::open(file->source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    fuse_reply_err(request, errno);
    return;
  }
  info->fh = Fs(request).Open(fd);
  // Every read comes to this folder, past the page cache: each opening
  // reads anew, and no page held locked by a waiting read holds up another
  // opening of the file (which would clear the cache).
  info->direct_io = 1;
  info->keep_cache = 0;
  if (fuse_reply_open(request, info) != 0) Fs(request).Release(info->fh);
}

void Read(fuse_req_t request, fuse_ino_t, size_t size, off_t offset, fuse_file_info* info) {
  Fs(request).Read(request, info->fh, size, offset);
}

void Release(fuse_req_t request, fuse_ino_t, fuse_file_info* info) {
  Fs(request).Release(info->fh);
  fuse_reply_err(request, 0);
}

int Fail(const std::string& reason) {
  std::printf("failed: %s\n", reason.c_str());
  std::fflush(stdout);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Goes with the process that started it.
  const pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) return 1;

  std::chrono::milliseconds delay{2000};
  int next = 1;
  if (next + 1 < argc && std::strcmp(argv[next], "--delay") == 0) {
    char* end = nullptr;
    const long ms = std::strtol(argv[next + 1], &end, 10);
    if (!end || *end || ms < 0) return Fail(std::string("not a delay: ") + argv[next + 1]);
    delay = std::chrono::milliseconds(ms);
    next += 2;
  }
  if (argc - next < 2) {
    std::fprintf(stderr, "usage: ombrelo-slowfs [--delay MS] MOUNT-POINT FILE...\n");
    return 2;
  }
  const std::string mountPoint = argv[next++];
  std::vector<ShownFile> files;
  for (; next < argc; ++next) {
    std::error_code ec;
    const std::filesystem::path source = std::filesystem::absolute(argv[next], ec);
    if (ec || !std::filesystem::is_regular_file(source, ec))
      return Fail(std::string("not a regular file: ") + argv[next]);
    const std::string name = source.filename().string();
    if (std::any_of(files.begin(), files.end(), [&](const ShownFile& f) { return f.name == name; }))
      return Fail("two files named " + name);
    files.push_back(ShownFile{name, source.string(), FUSE_ROOT_ID + 1 + files.size()});
  }
  if (::access("/dev/fuse", R_OK | W_OK) != 0)
    return Fail(std::string("/dev/fuse cannot be used here: ") + std::strerror(errno));

  fuse_lowlevel_ops operations{};
  operations.lookup = Lookup;
  operations.getattr = GetAttributes;
  operations.readdir = ReadFolder;
  operations.open = Open;
  operations.read = Read;
  operations.release = Release;

  SlowFs fs(std::move(files), delay);
  char program[] = "ombrelo-slowfs";
  char optionFlag[] = "-o";
  char options[] = "ro,fsname=ombrelo-slowfs,subtype=ombrelo-slowfs";
  char* arguments[] = {program, optionFlag, options, nullptr};
  fuse_args args = FUSE_ARGS_INIT(3, arguments);
  fuse_session* session = fuse_session_new(&args, &operations, sizeof(operations), &fs);
  if (!session) return Fail("FUSE refused the session");
  if (fuse_session_mount(session, mountPoint.c_str()) != 0) {
    fuse_session_destroy(session);
    return Fail("mounting " + mountPoint + " was refused (FUSE may not be allowed here)");
  }
  if (fuse_set_signal_handlers(session) != 0) {
    fuse_session_unmount(session);
    fuse_session_destroy(session);
    return Fail("cannot handle the stop signals");
  }
  std::printf("ready\n");
  std::fflush(stdout);
  // Nobody reads further: later messages would only fill the pipe.
  if (const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0) {
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
  }
  const int loop = fuse_session_loop(session);
  fs.Stop();
  fuse_remove_signal_handlers(session);
  fuse_session_unmount(session);
  fuse_session_destroy(session);
  return loop < 0 ? 1 : 0;
}
