#include "render/read_scope.h"

#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/paths.h"

namespace ombrelo {
namespace {

constexpr size_t kRememberedPages = 512;

// Remembered page scopes; all fields are protected by lock.
struct PageScopes {
  std::mutex lock;
  std::map<std::string, ReadScope> byPage;
  std::deque<std::string> order;  // oldest first
};

PageScopes& Pages() {
  static PageScopes* pages = new PageScopes();  // used until the process ends
  return *pages;
}

}  // namespace

std::string ResolvedPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) return fs::path(path).lexically_normal().string();
  fs::path resolved = fs::weakly_canonical(absolute, ec);
  if (ec) resolved = absolute.lexically_normal();
  return resolved.string();
}

void ReadScope::AddFolder(const std::string& folder) {
  if (folder.empty()) return;
  folders_.push_back(paths::WithTrailingSeparator(ResolvedPath(folder)));
}

void ReadScope::AddFile(const std::string& path) {
  if (!path.empty()) files_.insert(ResolvedPath(path));
}

bool ReadScope::Allows(const std::string& path) const {
  const std::string resolved = ResolvedPath(path);
  if (files_.count(resolved)) return true;
  for (const std::string& folder : folders_) {
    if (resolved.compare(0, folder.size(), folder) == 0) return true;
  }
  return false;
}

void RememberPageScope(const std::string& page, ReadScope scope) {
  PageScopes& pages = Pages();
  const std::lock_guard<std::mutex> lock(pages.lock);
  if (pages.byPage.insert_or_assign(page, std::move(scope)).second) pages.order.push_back(page);
  while (pages.order.size() > kRememberedPages) {
    pages.byPage.erase(pages.order.front());
    pages.order.pop_front();
  }
}

std::optional<ReadScope> PageScope(const std::string& page) {
  PageScopes& pages = Pages();
  const std::lock_guard<std::mutex> lock(pages.lock);
  const auto found = pages.byPage.find(page);
  if (found == pages.byPage.end()) return std::nullopt;
  return found->second;
}

void ForgetPageScope(const std::string& page) {
  PageScopes& pages = Pages();
  const std::lock_guard<std::mutex> lock(pages.lock);
  if (pages.byPage.erase(page) == 0) return;
  for (auto it = pages.order.begin(); it != pages.order.end(); ++it) {
    if (*it == page) {
      pages.order.erase(it);
      break;
    }
  }
}

}  // namespace ombrelo
