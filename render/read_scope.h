#pragma once
// What a template, and a page made by one, may read from the disk: the
// template's own folder, the movie's outputs and, for a page, the folder the
// page lies in (where its template's companion files were copied). Whatever
// else a template names (document("file:///..."), <img src="/...">) is
// refused.
//
// Paths are compared after links and ".." are resolved, so that neither
// leads out of a folder.
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ombrelo {

class ReadScope {
 public:
  // Everything below the folder may be read.
  void AddFolder(const std::string& folder);
  // The single file may be read.
  void AddFile(const std::string& path);
  bool Allows(const std::string& path) const;

 private:
  std::vector<std::string> folders_;  // resolved, each with a trailing separator
  std::set<std::string> files_;       // resolved
};

// The path with links and ".." resolved as far as it exists (the rest is
// taken as written, "." and ".." steps removed). Relative paths are taken
// from the current directory.
std::string ResolvedPath(const std::string& path);

// The limits on what a page and a template load.
inline constexpr uint64_t kMaxStylesheetBytes = uint64_t{16} << 20;  // CSS and XSLT
inline constexpr uint64_t kMaxPictureBytes = uint64_t{64} << 20;
inline constexpr uint64_t kMaxDocumentBytes = uint64_t{64} << 20;  // pages, document()

// Scopes of the pages the XSLT service has written, kept until the page has
// been drawn (the index photo forgets its page then); the oldest are dropped
// beyond a few hundred. Any thread.
void RememberPageScope(const std::string& page, ReadScope scope);
std::optional<ReadScope> PageScope(const std::string& page);
void ForgetPageScope(const std::string& page);

}  // namespace ombrelo
