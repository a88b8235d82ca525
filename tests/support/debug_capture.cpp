#include "support/debug_capture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "support/change_signal.h"

namespace ombrelo::testing {

DebugCapture::DebugCapture() {
  SetDebugSink([this](std::string_view text) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.emplace_back(text);
    }
    Changes().Raise();
  });
}

DebugCapture::~DebugCapture() { SetDebugSink({}); }

std::vector<std::string> DebugCapture::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::string DebugCapture::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string all;
  for (const auto& line : lines_) all += line;
  return all;
}

bool DebugCapture::Contains(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& line : lines_)
    if (line == text) return true;
  return false;
}

void DebugCapture::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

TempFolder::TempFolder(const std::string& hint) {
  std::string pattern = paths::SystemTempFolder() + "ombrelo-" + hint + "-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  path_ = paths::WithTrailingSeparator(pattern);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  // Folders made read-only by a test must become writable to be removed.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace ombrelo::testing
