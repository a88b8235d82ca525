#include "crash/crash_recovery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "crash/private_files.h"
#include "platform/debug_output.h"
#include "platform/translate.h"
#include "project/project.h"

namespace ombrelo {

void RunCrashRecovery(CProject& project, RecoveryView& view, const std::string& recoveryFile) {
  struct stat st {};
  if (lstat(recoveryFile.c_str(), &st) != 0) return;
  // Only the file the crash handler wrote: a regular file of this user. A
  // link, or a file someone else put there, is left alone.
  const int fd = OpenOwnFile(recoveryFile);
  if (fd < 0) {
    DebugOutputF("Crash recovery file refused: %s (%s)\n", recoveryFile.c_str(),
                 std::strerror(errno));
    return;
  }
  if (fstat(fd, &st) != 0 || st.st_size == 0) {
    close(fd);
    return;
  }
  // Loaded through the descriptor checked above, not the name again, and
  // aside: a damaged file leaves the project as it was.
  CProject recovered;
  recovered.CopySettingsFrom(project);
  const bool loaded = recovered.Load("/proc/self/fd/" + std::to_string(fd));
  close(fd);
  if (loaded) {
    project.TakeContentFrom(recovered);
    view.ReloadPages();
    view.ShowNoticePage("crashed.htm");
    for (const Movie& movie : project.Movies()) {
      if (movie.status != kMovieOpened) continue;
      const std::string path = movie.path();
      // The whole path, however long.
      const std::string text =
          FillIn(Translate("CrashRecovery",
                           "The next movie in the list is\n%1\nIf the crash happened during "
                           "video indexing the codec used by the file is propably the cause\n"
                           "Remove the video from the list?"),
                 {path});
      if (view.AskYesNo(Message{Translate("CrashRecovery", "Remove video"), text,
                                MessageIcon::question, MessageOwner::mainWindow})) {
        project.RemoveMovie(path);
        view.ReloadMovieList();
      }
      break;
    }
  }
  unlink(recoveryFile.c_str());
}

}  // namespace ombrelo
