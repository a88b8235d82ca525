#pragma once
// The XML documents handed to the XSLT templates: one "movie" element per
// movie with its properties, the paths of its outputs and thumbnails
// relative to the file being generated, and a few rendering settings. The
// documents live in memory only.
//
// Every value is escaped for XML (the title stays in a CDATA section), and
// the declaration names the encoding the bytes have: UTF-8.
#include <functional>
#include <string>
#include <string_view>

namespace ombrelo {

class CProject;
class Movie;

// The declaration every document starts with.
inline constexpr std::string_view kTemplateDataDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// The "movie" element of a movie: its title (in a CDATA section), length,
// size and frame size texts; the paths of its web page, playlist, index
// photo and thumbnails relative to base, the file being generated (an index
// photo in parts has one "indexphoto_part" after "indexphoto" for each
// further part, in order); for each
// thumbnail the video's file URL, the frame number and the time
// ("HH:MM:SS:mmm"); then the settings: the application data folder, the
// frame size times scale (truncated) and the number of images per row (3).
// Lines end with a line feed.
std::string MovieElement(const Movie& movie, const std::string& base, float scale);

// The declaration followed by the movie element.
std::string MovieDocument(const Movie& movie, const std::string& base, float scale);

// The declaration, "<project>", the element of every movie of the project
// in list order (with the project's effective image scale), "</project>".
std::string ProjectDocument(const CProject& project, const std::string& base);

// The path of target relative to the folder of base; both are taken as
// files. Folders are stepped out of with "../"; a target in the folder of
// base gives its bare name. When no relative path can be formed (an empty
// or relative path on either side, a target ending with "/"), target is
// returned unchanged. A result whose first part holds a ":" gets "./" in
// front, so that no page reads it as a URL scheme ("javascript:").
std::string RelativePath(const std::string& base, const std::string& target);

// A "file://" URL for an absolute path, with every byte that is unsafe in a
// URL escaped as %XX (blanks, "#", "%", "?", quotes, brackets, non-ASCII
// bytes, ...). False for a path that is not absolute.
bool FileUrlFromPath(const std::string& path, std::string* url);

// Text for an XML element: "&", "<" and ">" escaped; bytes that are not
// UTF-8 and characters that XML 1.0 does not allow become U+FFFD.
std::string XmlEscape(std::string_view text);

// A CDATA section holding the text (after the character clean-up of
// XmlEscape); a "]]>" inside it is split across two sections, so any text
// survives intact.
std::string XmlCdata(std::string_view text);

// Writes a generated page or report to path, replacing the file as a whole
// (WriteFileReplacing: never a partial file). Returns 0 on success, else the
// system error number for the message that reports it.
int WriteOutputFile(const std::string& path, std::string_view bytes);

// The text that tells of a page or report that could not be written:
// "Failed to open html file (%s) for writing, error : %d" with the path and
// the error number (shown with caption "Error" and the error icon).
std::string HtmlWriteFailureText(const std::string& path, int error);

}  // namespace ombrelo
