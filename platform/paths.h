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

// The extension of the file name in path, with its dot (".avi"): from the
// last "." of the file name on. Only a "." after the last separator starts
// an extension, so "my.videos/clip" has none. "" when there is none.
std::string_view Extension(std::string_view path);

// path without the extension of its file name (all of path when it has none).
std::string_view WithoutExtension(std::string_view path);

// Appends the separator unless the text is empty or ends with one.
std::string WithTrailingSeparator(std::string folder);

// Creates a folder and every missing parent. True when it exists afterwards.
bool CreateFolders(const std::string& folder);

// The system's temporary folder (TMPDIR, else /tmp) with a trailing separator.
std::string SystemTempFolder();

// True when path (a link is not followed) is a folder that belongs to this
// user and grants nothing to group or others.
bool IsPrivateFolder(const std::string& path);

// A folder of this user alone for the program's temporary files, with a
// trailing separator: "$XDG_RUNTIME_DIR/<name>/" when that variable names a
// private folder, else "<SystemTempFolder()><name>-<uid>/". It is created
// with mode 0700. An existing folder is used only when IsPrivateFolder says
// so: a link, a folder of another user or one that others may enter is never
// used; a fresh private folder "<...>-XXXXXX" is made beside it instead.
// "" when no private folder could be made.
std::string PrivateTemporaryFolder(const std::string& name);

// The current directory with a trailing separator.
std::string CurrentDirectory();

}  // namespace ombrelo::paths
