#pragma once
// Collects every debug text written while it lives.
#include <mutex>
#include <string>
#include <vector>

namespace ombrelo::testing {

class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  // Every text so far, in order.
  std::vector<std::string> Lines() const;
  // All texts concatenated.
  std::string Text() const;
  // True when some text equals the given one exactly.
  bool Contains(const std::string& text) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// A fresh folder below the system temporary folder, removed with its
// contents when the object goes away. Path() ends with "/".
class TempFolder {
 public:
  explicit TempFolder(const std::string& hint = "test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Reads a whole file as bytes ("" when it cannot be read).
std::string ReadFileBytes(const std::string& path);
// Writes bytes to a file, replacing it. True on success.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// True when something exists at the path.
bool FileExists(const std::string& path);
// True when part occurs in text.
bool Contains(const std::string& text, const std::string& part);

}  // namespace ombrelo::testing
