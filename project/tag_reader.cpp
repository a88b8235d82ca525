#include "project/tag_reader.h"

#include <charconv>

namespace ombrelo {

std::string ReadTag(std::istream& in) {
  std::string tag;
  int c = in.get();
  while (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = in.get();
  while (c != std::char_traits<char>::eof() && c != '\0') {
    tag.push_back(static_cast<char>(c));
    if (c == '>') break;
    c = in.get();
  }
  if (c == std::char_traits<char>::eof()) in.clear(in.rdstate() & ~std::ios::failbit);
  return tag;
}

std::string ReadText(std::istream& in) {
  std::string text;
  for (;;) {
    const int c = in.peek();
    if (c == std::char_traits<char>::eof()) {
      in.clear(in.rdstate() & ~std::ios::failbit);
      break;
    }
    if (c == '<') break;
    in.get();
    if (c == '\0') break;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

void ExpectTag(std::istream& in, const std::string& tag) {
  if (ReadTag(in) != tag) throw TagFormatError("Format error : missing " + tag);
}

namespace {

// Collects the characters that may continue a number of the given kind,
// after skipping leading whitespace as stream extraction does.
std::string NumberText(std::istream& in, bool real) {
  int c = in.peek();
  while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
    in.get();
    c = in.peek();
  }
  std::string text;
  auto take = [&]() {
    text.push_back(static_cast<char>(in.get()));
    c = in.peek();
  };
  if (c == '+' || c == '-') take();
  while (c >= '0' && c <= '9') take();
  if (real) {
    if (c == '.') {
      take();
      while (c >= '0' && c <= '9') take();
    }
    if (c == 'e' || c == 'E') {
      take();
      if (c == '+' || c == '-') take();
      while (c >= '0' && c <= '9') take();
    }
  }
  if (c == std::char_traits<char>::eof()) in.clear(in.rdstate() & ~std::ios::failbit);
  return text;
}

}  // namespace

// Numbers are parsed and formatted independently of the process locale: a
// Qt program switches LC_NUMERIC to the user's, which must not change files.
template <typename T>
T ParseNumber(std::string text) {
  if (!text.empty() && text[0] == '+') text.erase(0, 1);
  T value{};
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

int32_t ReadInt(std::istream& in) {
  // Out-of-range values wrap as the 32-bit field would take them.
  return static_cast<int32_t>(ParseNumber<long long>(NumberText(in, false)));
}

uint32_t ReadUnsigned(std::istream& in) {
  return static_cast<uint32_t>(ParseNumber<long long>(NumberText(in, false)));
}

double ReadDouble(std::istream& in) { return ParseNumber<double>(NumberText(in, true)); }

std::string FormatG(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  return std::string(text, result.ptr);
}

}  // namespace ombrelo
