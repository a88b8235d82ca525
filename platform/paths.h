#pragma once
// Path conventions of this platform. Code that looks for a folder separator
// asks here instead of naming "/" or "\\" itself.
#include <string>
#include <string_view>

namespace ombrelo::paths {

// The separator appended to folders.
constexpr char kSeparator = '/';

// True for every character that separates folders on this platform
// ("/" here; a backslash is an ordinary file-name character on Linux).
constexpr bool IsSeparator(char c) { return c == '/'; }

// Position of the last separator in path, or std::string::npos.
size_t LastSeparator(std::string_view path);

// The part after the last separator (the whole path when there is none).
std::string FileName(std::string_view path);

// The part up to and including the last separator ("" when there is none).
std::string FolderOf(std::string_view path);

// Appends the separator unless the text is empty or ends with one.
std::string WithTrailingSeparator(std::string folder);

// Creates a folder and every missing parent. True when it exists afterwards.
bool CreateFolders(const std::string& folder);

// The system's temporary folder (TMPDIR, else /tmp) with a trailing separator.
std::string SystemTempFolder();

// The current directory with a trailing separator.
std::string CurrentDirectory();

}  // namespace ombrelo::paths
