#pragma once
// Sharing a collection out over several machines: every video belongs to
// one of N parts by a hash of its name, and the projects of the parts are
// joined into one afterwards.
#include <cstdio>
#include <string>
#include <vector>

namespace ombrelo {
class CProject;
}

namespace ombrelo::indexer {

// The part (from 1 to count) of a video whose key is the given text: its
// path relative to the folder it was found in. The same key gives the same
// part on every machine and however many other videos there are.
int ShardOfKey(const std::string& key, int count);

enum class MergeResult {
  kMerged,       // OUT written
  kCannotRead,   // a part could not be read; nothing written
  kOutExists,    // OUT is there already; nothing written
  kCannotWrite,  // OUT could not be written; nothing left behind
};

// Joins the movies of the parts' project files, in the order given, into a
// new project file at out, with the settings of the first part. A video in
// more than one part is kept once: the record that tells most (done, else
// failed, else stopped, else waiting; the earliest of equals); each such
// video is reported on err. out is never replaced: an
// existing file there is reported and left as it is. The file is written
// whole or not at all. merged receives the joined project.
MergeResult MergeProjects(const std::vector<std::string>& parts, const std::string& out,
                          CProject& merged, std::FILE* err);

}  // namespace ombrelo::indexer
