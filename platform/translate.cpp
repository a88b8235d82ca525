#include "platform/translate.h"

#include <atomic>
#include <vector>

namespace ombrelo {
namespace {

std::atomic<TranslateHook> g_hook{nullptr};

// What a catalogue without the text does: the count in place of %n.
std::string PutCount(std::string_view text, int n) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    if (n >= 0 && text[i] == '%' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += std::to_string(n);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

void SetTranslateHook(TranslateHook hook) { g_hook.store(hook); }

std::string Translate(const char* context, const char* source, const char* disambiguation, int n) {
  if (const TranslateHook hook = g_hook.load()) return hook(context, source, disambiguation, n);
  return PutCount(source, n);
}

std::string TranslateKept(const char* context, const char* source) {
  return Translate(context, source);
}

std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values) {
  const std::vector<std::string_view> list(values);
  std::string out;
  out.reserve(pattern.size() + 32);
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      const char next = pattern[i + 1];
      if (next >= '1' && next <= '9' && static_cast<size_t>(next - '1') < list.size()) {
        out += list[static_cast<size_t>(next - '1')];
        ++i;
        continue;
      }
      if (next == '%') {
        out += "%%";
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace ombrelo
