#include "project/tag_reader.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <string_view>
#include <type_traits>

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

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";

// Consumes kCdataOpen when the stream continues with it; otherwise leaves
// the stream where it was.
bool TakeCdataOpen(std::istream& in) {
  const std::istream::pos_type start = in.tellg();
  for (const char expected : kCdataOpen) {
    const int c = in.get();
    if (c != static_cast<unsigned char>(expected)) {
      in.clear();
      in.seekg(start);
      return false;
    }
  }
  return true;
}

}  // namespace

std::string TextValue(const std::string& value) {
  if (value.find('<') == std::string::npos) return value;
  std::string out(kCdataOpen);
  size_t from = 0;
  for (size_t end; (end = value.find(kCdataClose, from)) != std::string::npos; from = end + 2) {
    // "]]>" becomes "]]" closing this section and ">" opening the next one.
    out.append(value, from, end + 2 - from);
    out += kCdataClose;
    out += kCdataOpen;
  }
  out.append(value, from, std::string::npos);
  out += kCdataClose;
  return out;
}

std::string ReadTextValue(std::istream& in) {
  std::string text = ReadText(in);
  while (in.peek() == '<' && TakeCdataOpen(in)) {
    // Collect up to "]]>"; the end of the stream before it is a format error.
    std::string section;
    for (;;) {
      const int c = in.get();
      if (c == std::char_traits<char>::eof()) {
        in.clear(in.rdstate() & ~std::ios::failbit);
        throw TagFormatError("Format error : missing ]]>");
      }
      // A NUL would end the value when it is written plainly and read
      // again; no value of the format holds one.
      if (c == '\0') continue;
      section.push_back(static_cast<char>(c));
      if (section.size() >= 3 && section.compare(section.size() - 3, 3, kCdataClose) == 0) {
        section.resize(section.size() - 3);
        break;
      }
    }
    text += section;
    text += ReadText(in);
  }
  return text;
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
  if (real && (c == 'i' || c == 'I' || c == 'n' || c == 'N')) {
    // "inf", "infinity" or "nan", as FormatG writes non-finite values.
    while ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) take();
    if (c == std::char_traits<char>::eof()) in.clear(in.rdstate() & ~std::ios::failbit);
    return text;
  }
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
  if constexpr (std::is_floating_point_v<T>) {
    // from_chars reads "inf" and "nan" but not their negative forms.
    if (text.size() > 1 && text[0] == '-' &&
        (text[1] == 'i' || text[1] == 'I' || text[1] == 'n' || text[1] == 'N')) {
      std::from_chars(text.data() + 1, text.data() + text.size(), value);
      return -value;
    }
  }
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

int32_t AtoI(const std::string& text) {
  std::istringstream in(text);
  std::string digits = NumberText(in, false);
  if (!digits.empty() && digits[0] == '+') digits.erase(0, 1);
  long long value = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = !digits.empty() && digits[0] == '-' ? INT32_MIN : INT32_MAX;
  }
  return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

double AtoF(const std::string& text) {
  std::istringstream in(text);
  return ParseNumber<double>(NumberText(in, true));
}

std::string FormatG(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  return std::string(text, result.ptr);
}

}  // namespace ombrelo
