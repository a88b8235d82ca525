#include "crash/crash_recovery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "project/message_port.h"
#include "project/project.h"

namespace ombrelo {

void RunCrashRecovery(CProject& project, RecoveryView& view, const std::string& recoveryFile) {
  struct stat st {};
  if (stat(recoveryFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return;

  if (project.Load(recoveryFile)) {
    view.ReloadPages();
    view.ShowNoticePage("crashed.htm");
    for (const Movie& movie : project.Movies()) {
      if (movie.status != kMovieOpened) continue;
      const std::string path = movie.path();
      char text[1024];
      std::snprintf(text, sizeof text,
                    "The next movie in the list is\n%s\nIf the crash happened during video "
                    "indexing the codec used by the file is propably the cause\nRemove the video "
                    "from the list?",
                    path.c_str());
      if (AskYesNo("Remove video", text)) {
        project.RemoveMovie(path);
        view.ReloadMovieList();
      }
      break;
    }
  }
  unlink(recoveryFile.c_str());
}

}  // namespace ombrelo
