#include "project/template_data.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

#include "platform/data_folder.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/translate.h"
#include "project/file_write.h"
#include "project/movie.h"
#include "project/project.h"

namespace ombrelo {
namespace {

// The components of an absolute path, without empty ones (so "//" counts
// as one separator).
std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !paths::IsSeparator(path[end])) ++end;
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool IsAbsolute(std::string_view path) { return !path.empty() && paths::IsSeparator(path[0]); }

// Length of the UTF-8 sequence at text[i] when it is valid and encodes a
// character that XML 1.0 allows; 0 otherwise.
size_t ValidXmlChar(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    return (lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r') ? 1 : 0;
  }
  size_t length;
  char32_t code;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < smallest[length] || code > 0x10FFFF) return 0;  // overlong or too large
  if (code >= 0xD800 && code <= 0xDFFF) return 0;            // surrogates
  if (code == 0xFFFE || code == 0xFFFF) return 0;            // not XML characters
  return length;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Copies the text, replacing what XML cannot hold; escapes markup when asked.
std::string CleanText(std::string_view text, bool escapeMarkup) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = ValidXmlChar(text, i);
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    const char c = text[i];
    if (escapeMarkup && c == '&') {
      out += "&amp;";
    } else if (escapeMarkup && c == '<') {
      out += "&lt;";
    } else if (escapeMarkup && c == '>') {
      out += "&gt;";
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

bool IsUrlSafe(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '/':
    case '!':
    case '$':
    case '&':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case ':':
    case '@':
      return true;
    default:
      return false;
  }
}

// A relative path whose first part holds a ":" ("javascript:alert(1).html")
// would be read as a URL with that scheme by every page that links to it:
// "./" in front keeps it a path.
std::string NotAScheme(const std::string& path) {
  const size_t colon = path.find(':');
  if (colon == std::string::npos || IsAbsolute(path)) return path;
  for (size_t i = 0; i < colon; ++i) {
    if (paths::IsSeparator(path[i])) return path;
  }
  return "./" + path;
}

}  // namespace

std::string MovieElement(const Movie& movie, const std::string& base, float scale) {
  const auto line = [](std::string_view tag, std::string_view value) {
    std::string text = "<";
    text.append(tag);
    text += '>';
    text += XmlEscape(value);
    text += "</";
    text.append(tag);
    text += ">\n";
    return text;
  };

  std::string xml = "<movie>\n";
  xml += "<title>" + XmlCdata(movie.Title()) + "</title>\n";
  xml += line("length", movie.LengthText());
  xml += line("size", movie.SizeText());
  xml += line("width", movie.WidthText());
  xml += line("height", movie.HeightText());
  xml += line("html", RelativePath(base, movie.html));
  xml += line("ipl", RelativePath(base, movie.ipl));
  xml += line("indexphoto", RelativePath(base, movie.indexphoto));
  for (const std::string& part : movie.indexphotoParts) {
    xml += line("indexphoto_part", RelativePath(base, part));
  }

  if (!movie.images.empty()) {
    std::string source;
    if (!FileUrlFromPath(movie.path(), &source)) DebugOutput("Invalid path\n");
    source = XmlEscape(source);
    for (const ImageEntry& entry : movie.images) {
      const TimeParts t = SplitTime(entry.time);
      char time[64];
      std::snprintf(time, sizeof time, "%02u:%02u:%02u:%03u", t.hours, t.minutes, t.seconds,
                    t.milliseconds);
      xml += "<entry>\n";
      xml += "\t<file>" + XmlEscape(RelativePath(base, entry.path)) + "</file>\n";
      xml += "\t<source>" + source + "</source>\n";
      xml += "\t<frame>" + std::to_string(static_cast<int32_t>(entry.frame)) + "</frame>\n";
      xml += "\t<time>" + std::string(time) + "</time>\n";
      xml += "</entry>\n";
    }
  }

  const auto scaled = [scale](int32_t value) {
    return std::to_string(static_cast<int32_t>(static_cast<float>(value) * scale));
  };
  xml += "<settings>\n";
  xml += line("data", ApplicationDataFolder());
  xml += "<width>" + scaled(movie.videoFormat.biWidth) + "</width>\n";
  xml += "<height>" + scaled(movie.videoFormat.biHeight) + "</height>\n";
  xml += "<images_per_row>3</images_per_row>\n";
  xml += "</settings>\n";
  xml += "</movie>\n";
  return xml;
}

std::string MovieDocument(const Movie& movie, const std::string& base, float scale) {
  return std::string(kTemplateDataDeclaration) + MovieElement(movie, base, scale);
}

std::string ProjectDocument(const CProject& project, const std::string& base) {
  const float scale = project.Output().EffectiveImageScale();
  std::string xml(kTemplateDataDeclaration);
  xml += "<project>\n";
  for (const Movie& movie : project.Movies()) xml += MovieElement(movie, base, scale);
  xml += "</project>\n";
  return xml;
}

std::string RelativePath(const std::string& base, const std::string& target) {
  if (!IsAbsolute(base) || !IsAbsolute(target) || paths::IsSeparator(target.back())) {
    return NotAScheme(target);
  }
  std::vector<std::string_view> from = Components(base);
  std::vector<std::string_view> to = Components(target);
  if (from.empty() || to.empty()) return NotAScheme(target);
  from.pop_back();  // base is a file: start from its folder
  const std::string_view name = to.back();
  to.pop_back();

  size_t common = 0;
  while (common < from.size() && common < to.size() && from[common] == to[common]) ++common;

  std::string result;
  for (size_t i = common; i < from.size(); ++i) result += "../";
  for (size_t i = common; i < to.size(); ++i) {
    result.append(to[i]);
    result += '/';
  }
  result.append(name);
  return NotAScheme(result);
}

bool FileUrlFromPath(const std::string& path, std::string* url) {
  if (!IsAbsolute(path)) return false;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "file://";
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsUrlSafe(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  *url = std::move(out);
  return true;
}

std::string XmlEscape(std::string_view text) { return CleanText(text, true); }

std::string XmlCdata(std::string_view text) {
  const std::string clean = CleanText(text, false);
  std::string out = "<![CDATA[";
  size_t start = 0;
  for (size_t end; (end = clean.find("]]>", start)) != std::string::npos; start = end + 2) {
    // End the section between "]]" and ">", and open the next one there.
    out.append(clean, start, end + 2 - start);
    out += "]]><![CDATA[";
  }
  out.append(clean, start, std::string::npos);
  out += "]]>";
  return out;
}

int WriteOutputFile(const std::string& path, std::string_view bytes) {
  int error = 0;
  if (WriteFileReplacing(path, std::string(bytes), &error) == WriteResult::ok) return 0;
  return error != 0 ? error : EIO;
}

std::string HtmlWriteFailureText(const std::string& path, int error) {
  return FillIn(Translate("TemplateData", "Failed to open html file (%1) for writing, error : %2"),
                {path, std::to_string(error)});
}

}  // namespace ombrelo
