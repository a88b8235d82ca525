#pragma once
// Environment variables set for the life of an object: each gets back the
// value it had (or is unset again) when the object goes away, so that a test
// program's tests can also run one after the other in one process.
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ombrelo::testing {

class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    // Backwards, so that a variable set twice ends with its first old value.
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      it->second ? setenv(it->first.c_str(), it->second->c_str(), 1) : unsetenv(it->first.c_str());
  }
  // Sets the variable, or unsets it without a value.
  void Set(const std::string& name, std::optional<std::string> value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace ombrelo::testing
