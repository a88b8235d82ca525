#pragma once
// ombrelo-index --thumbnail: the thumbnailer that desktop file managers run
// for video files (see ombrelo.thumbnailer, installed in share/thumbnailers/):
//
//   ombrelo-index --thumbnail [-s SIZE] [--time-limit SECONDS] INPUT OUTPUT
//
// writes a PNG of one representative frame of the video INPUT (a path or a
// file:// address), its longer side SIZE pixels (default 256; smaller
// pictures keep their size), to OUTPUT. Exit status 0 when written, 1 when
// the file gives no frame (OUTPUT is then not created), 2 for a wrong
// command line.

namespace ombrelo::indexer {

// Whether the command line asks for the thumbnailer.
bool IsThumbnailCommand(int argc, char** argv);
// Ends the process with that exit status; never returns.
int RunThumbnailCommand(int argc, char** argv);

}  // namespace ombrelo::indexer
