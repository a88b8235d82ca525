#pragma once
// Which files count as videos when folders are added to a project, and the
// recursive add itself (the movie selection page and the command-line
// indexer both use them).
#include <string>
#include <string_view>

namespace ombrelo {

class CProject;

// True when the name's extension, from its last "." to the end and
// lower-cased, is one of the 21 video extensions (".avi", ".mpeg", ".wmv",
// ".mpg", ".asf", ".rm", ".ram", ".mov", ".qt", ".vob", ".divx", ".mp4",
// ".mkv", ".ogm", ".3gp", ".amv", ".flv", ".mod", ".moi", ".webm", ".xvid").
// A name without "." is no video. Only the part after the last separator
// counts, so a "." in a folder name does not make an extension.
bool IsVideoFileName(std::string_view path);

// Adds every file below the folder whose name passes the test, recursively,
// as movies of the project (CProject::AddMovie with folder + name). Entries
// are taken in byte order of their names, so a run is the same on every
// file system; links to folders are not followed (no loops). Returns the
// number of movies added.
int AddVideosInFolder(CProject& project, const std::string& folder);

}  // namespace ombrelo
