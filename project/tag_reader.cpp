#include "project/tag_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <string_view>
#include <type_traits>

#include "platform/translate.h"

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
  if (ReadTag(in) != tag)
    throw TagFormatError(FillIn(Translate("ProjectFile", "Format error : missing %1"), {tag}));
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

namespace {

// Windows-1252 at 0x80..0x9F; the five bytes it leaves free stand for the C1
// control characters of the same number, as Latin-1 has them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Bytes with no character of their own are carried as U+EF00 + byte.
constexpr char32_t kByteBlock = 0xEF00;

char32_t CharOfByte(unsigned char byte, Charset charset) {
  if (charset == Charset::windows1252 && byte >= 0x80 && byte < 0xA0) {
    return kWindows1252High[byte - 0x80];
  }
  return byte;
}

// The byte of a character in the charset; 0 when it has none. C1 controls
// are left to references: XML 1.0 discourages them raw.
unsigned char ByteOfChar(char32_t code, Charset charset) {
  if (code >= 0xA0 && code <= 0xFF) return static_cast<unsigned char>(code);
  if (charset == Charset::windows1252) {
    for (int i = 0; i < 32; ++i) {
      if (kWindows1252High[i] == code && (code < 0x80 || code >= 0xA0)) {
        return static_cast<unsigned char>(0x80 + i);
      }
    }
  }
  return 0;
}

// Length of the valid UTF-8 sequence at text[i] and its character; 0 when
// the bytes there are no such sequence (overlong forms and surrogates
// included).
size_t Utf8At(std::string_view text, size_t i, char32_t* code) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    *code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    *code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    *code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    *code = (*code << 6) | (byte(i + k) & 0x3F);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (*code < smallest[length] || *code > 0x10FFFF) return 0;
  if (*code >= 0xD800 && *code <= 0xDFFF) return 0;
  return length;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendReference(std::string& out, char32_t code, bool hex) {
  char text[16];
  std::snprintf(text, sizeof text, hex ? "&#x%X;" : "&#%u;", static_cast<unsigned>(code));
  out += text;
}

// One pass of EncodeValue; referenceFirst writes the first non-ASCII
// character as a reference.
std::string Encode(std::string_view text, Charset charset, bool referenceFirst, bool* referenced,
                   bool* highBytes) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  bool first = true;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '&' || c == '<' || c == '>') {
      out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;";
      *referenced = true;
      ++i;
    } else if (c == 0) {
      ++i;  // a value ends at a NUL when read; none is written
    } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      AppendReference(out, kByteBlock + c, false);
      *referenced = true;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      char32_t code = 0;
      const size_t length = Utf8At(text, i, &code);
      if (length == 0) {
        AppendReference(out, kByteBlock + c, false);
        *referenced = true;
        ++i;
        continue;
      }
      const unsigned char byte = ByteOfChar(code, charset);
      if (byte != 0 && !(referenceFirst && first)) {
        out += static_cast<char>(byte);
        *highBytes = true;
      } else {
        AppendReference(out, code, true);
        *referenced = true;
      }
      first = false;
      i += length;
    }
  }
  return out;
}

// The character of the reference at text[i] ("&...;") and the reference's
// length; 0 when none stands there. A decimal reference into the byte block
// gives the byte itself, flagged by rawByte.
size_t ReferenceAt(std::string_view text, size_t i, char32_t* code, bool* rawByte) {
  *rawByte = false;
  static constexpr struct {
    std::string_view name;
    char value;
  } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  for (const auto& named : kNamed) {
    if (text.substr(i, named.name.size()) == named.name) {
      *code = static_cast<unsigned char>(named.value);
      return named.name.size();
    }
  }
  if (text.substr(i, 2) != "&#") return 0;
  size_t k = i + 2;
  const bool hex = k < text.size() && text[k] == 'x';
  if (hex) ++k;
  const size_t digits = k;
  uint32_t value = 0;
  while (k < text.size() && k - digits < 8) {
    const char d = text[k];
    int digit;
    if (d >= '0' && d <= '9')
      digit = d - '0';
    else if (hex && d >= 'a' && d <= 'f')
      digit = d - 'a' + 10;
    else if (hex && d >= 'A' && d <= 'F')
      digit = d - 'A' + 10;
    else
      break;
    value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    ++k;
  }
  if (k == digits || k >= text.size() || text[k] != ';') return 0;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  if (!hex && value > kByteBlock && value <= kByteBlock + 0xFF) {
    const uint32_t byte = value - kByteBlock;
    *rawByte = byte >= 0x80 || byte < 0x20;
  }
  return k + 1 - i;
}

bool IsUtf8(std::string_view text) {
  char32_t code;
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
    } else {
      const size_t length = Utf8At(text, i, &code);
      if (length == 0) return false;
      i += length;
    }
  }
  return true;
}

bool HoldsReference(std::string_view text) {
  char32_t code;
  bool rawByte;
  for (size_t i = text.find('&'); i != std::string_view::npos; i = text.find('&', i + 1)) {
    if (ReferenceAt(text, i, &code, &rawByte) != 0) return true;
  }
  return false;
}

}  // namespace

std::string EncodeValue(std::string_view text, Charset charset) {
  bool referenced = false;
  bool highBytes = false;
  std::string out = Encode(text, charset, false, &referenced, &highBytes);
  if (highBytes && !referenced) out = Encode(text, charset, true, &referenced, &highBytes);
  return out;
}

std::string DecodeValue(std::string_view bytes, Charset charset) {
  if (!HoldsReference(bytes) && IsUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    char32_t code = 0;
    bool rawByte = false;
    const size_t length = c == '&' ? ReferenceAt(bytes, i, &code, &rawByte) : 0;
    if (length != 0) {
      if (rawByte)
        out += static_cast<char>(code - kByteBlock);
      else
        AppendUtf8(out, code);
      i += length;
    } else {
      AppendUtf8(out, CharOfByte(c, charset));
      ++i;
    }
  }
  return out;
}

std::string TextValue(const std::string& value) { return EncodeValue(value, Charset::windows1252); }

std::string ReadTextValue(std::istream& in) {
  std::string text = ReadText(in);
  if (in.peek() != '<' || !TakeCdataOpen(in)) return DecodeValue(text, Charset::windows1252);
  // A value written by an older version in CDATA sections, bytes as they
  // stand.
  do {
    // Collect up to "]]>"; the end of the stream before it is a format error.
    std::string section;
    for (;;) {
      const int c = in.get();
      if (c == std::char_traits<char>::eof()) {
        in.clear(in.rdstate() & ~std::ios::failbit);
        throw TagFormatError(
            FillIn(Translate("ProjectFile", "Format error : missing %1"), {"]]>"}));
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
  } while (in.peek() == '<' && TakeCdataOpen(in));
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
