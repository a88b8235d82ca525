#pragma once
// Which files count as videos when they are added to a project, and the
// recursive search of a folder (the movie selection page and the
// command-line indexer both use them).
#include <string>
#include <string_view>
#include <vector>

namespace ombrelo {

class CProject;

// True when the name's extension, from its last "." to the end and
// lower-cased, is one of the 21 video extensions (".avi", ".mpeg", ".wmv",
// ".mpg", ".asf", ".rm", ".ram", ".mov", ".qt", ".vob", ".divx", ".mp4",
// ".mkv", ".ogm", ".3gp", ".amv", ".flv", ".mod", ".moi", ".webm", ".xvid").
// A name without "." is no video. Only the part after the last separator
// counts, so a "." in a folder name does not make an extension.
bool IsVideoFileName(std::string_view path);

// True when the file is a video: its name passes IsVideoFileName, or, for a
// regular file with another name, its first bytes are those of a video
// container (MP4 and QuickTime, Matroska and WebM, AVI, MPEG program and
// transport streams, Flash video, ASF and WMV, RealMedia, DV). Only regular
// files are read, and only their beginning; a FIFO or device is never
// opened.
bool IsVideoFile(const std::string& path);

// Every video file below the folder (IsVideoFile), recursively. Entries are
// taken in byte order of their names, so a run is the same on every file
// system; links to folders are not followed (no loops). Touches nothing but
// the file system: runs on any thread.
std::vector<std::string> FindVideosInFolder(const std::string& folder);

// Adds FindVideosInFolder's files as movies of the project, in that order
// (CProject::AddMovie). Returns the number of movies added.
int AddVideosInFolder(CProject& project, const std::string& folder);

}  // namespace ombrelo
