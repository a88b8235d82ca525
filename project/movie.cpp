#include "project/movie.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "platform/paths.h"
#include "platform/translate.h"
#include "project/tag_reader.h"

namespace ombrelo {
namespace {

// A real truncated toward zero and taken as an unsigned 32-bit number the
// way the 64-bit conversion instruction does it: the low 32 bits of the
// 64-bit result, and 0 for values that have no 64-bit form.
uint32_t TruncateToU32(double value) {
  if (!std::isfinite(value) || value >= 9.2233720368547758e18 || value < -9.2233720368547758e18) {
    return 0;
  }
  return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
}

std::string Element(const char* name, const std::string& value) {
  return std::string("<") + name + ">" + value + "</" + name + ">";
}

std::string ReadStringElement(std::istream& in, const char* name) {
  ExpectTag(in, std::string("<") + name + ">");
  std::string value = ReadTextValue(in);
  ExpectTag(in, std::string("</") + name + ">");
  return value;
}

}  // namespace

TimeParts SplitTime(double seconds) {
  const double u = seconds + 0.0005;
  const uint32_t n = TruncateToU32(u);
  TimeParts parts;
  parts.hours = n / 3600;
  parts.minutes = (n / 60) % 60;
  parts.seconds = n % 60;
  parts.milliseconds = TruncateToU32(u * 1000) % 1000;
  return parts;
}

int32_t Movie::NextId() {
  static std::atomic<int32_t> counter{0};
  return counter++;
}

Movie::Movie() : id_(NextId()) {}

Movie::Movie(const std::string& path, const CaptureSettings& settings)
    : captureSettings(settings), id_(NextId()), path_(path) {}

Movie::Movie(const Movie& other)
    : length(other.length),
      size(other.size),
      error(other.error),
      status(other.status),
      videoFormat(other.videoFormat),
      captureSettings(other.captureSettings),
      html(other.html),
      ipl(other.ipl),
      indexphoto(other.indexphoto),
      indexphotoParts(other.indexphotoParts),
      images(other.images),
      id_(other.id_),
      path_(other.path_) {}

Movie& Movie::operator=(const Movie& other) {
  if (this == &other) return *this;
  length = other.length;
  size = other.size;
  error = other.error;
  status = other.status;
  videoFormat = other.videoFormat;
  captureSettings = other.captureSettings;
  html = other.html;
  ipl = other.ipl;
  indexphoto = other.indexphoto;
  indexphotoParts = other.indexphotoParts;
  images = other.images;
  thumbPrefix.clear();
  thumbPrefixBase.clear();
  id_ = other.id_;
  path_ = other.path_;
  return *this;
}

void Movie::SetError(const std::string& text) {
  status = kMovieFailed;
  error += text;
}

std::string IndexPhotoPartPath(const std::string& photoPath, int n) {
  if (n <= 1) return photoPath;
  const std::string_view extension = paths::Extension(photoPath);
  return photoPath.substr(0, photoPath.size() - extension.size()) + "-" + std::to_string(n) +
         std::string(extension);
}

std::vector<std::string> Movie::IndexPhotoFiles() const {
  if (indexphoto.empty()) return {};
  std::vector<std::string> files{indexphoto};
  files.insert(files.end(), indexphotoParts.begin(), indexphotoParts.end());
  return files;
}

std::string Movie::ImagePath(size_t n) const { return n < images.size() ? images[n].path : ""; }

void Movie::RemoveImage(const std::string& path) {
  for (auto it = images.begin(); it != images.end(); ++it) {
    if (it->path == path) {
      images.erase(it);
      return;
    }
  }
}

std::string Movie::Title() const {
  const size_t sep = paths::LastSeparator(path_);
  if (sep == std::string::npos || sep == 0) return path_;
  return path_.substr(sep + 1);
}

std::string Movie::LengthText() const { return ombrelo::LengthText(length); }

std::string LengthText(double seconds) {
  const TimeParts t = SplitTime(seconds);
  char text[64];
  std::snprintf(text, sizeof text, "%d:%02d:%02d.%03d", static_cast<int>(t.hours),
                static_cast<int>(t.minutes), static_cast<int>(t.seconds),
                static_cast<int>(t.milliseconds));
  return text;
}

std::string Movie::SizeText() const { return std::to_string(static_cast<int32_t>(size)); }
std::string Movie::WidthText() const { return std::to_string(videoFormat.biWidth); }
std::string Movie::HeightText() const { return std::to_string(videoFormat.biHeight); }

std::string Movie::ToXml() const {
  std::string xml = "<movie>";
  xml += Element("status", std::to_string(status));
  xml += Element("length", FormatG(length));
  xml += Element("size", std::to_string(size));
  xml += Element("path", TextValue(path_));
  xml += Element("error", TextValue(error));
  xml += Element("html", TextValue(html));
  xml += Element("ipl", TextValue(ipl));
  xml += Element("indexphoto", TextValue(indexphoto));
  // Only a photo in parts has the element, so that other files keep their
  // form.
  if (!indexphotoParts.empty()) {
    xml += "<indexphoto_parts>";
    for (const std::string& part : indexphotoParts) xml += Element("path", TextValue(part));
    xml += "</indexphoto_parts>";
  }
  xml += "<image_list>";
  xml += Element("width", std::to_string(videoFormat.biWidth));
  xml += Element("height", std::to_string(videoFormat.biHeight));
  for (const ImageEntry& image : images) {
    xml += "<image>";
    xml += Element("path", TextValue(image.path));
    xml += Element("frame", std::to_string(image.frame));
    xml += Element("time", FormatG(image.time));
    xml += "</image>";
  }
  xml += "</image_list>";
  xml += "</movie>\n";
  return xml;
}

void Movie::ReadXml(std::istream& in) {
  ExpectTag(in, "<movie>");
  ExpectTag(in, "<status>");
  status = ReadInt(in);
  ExpectTag(in, "</status>");
  ExpectTag(in, "<length>");
  length = ReadDouble(in);
  ExpectTag(in, "</length>");
  ExpectTag(in, "<size>");
  size = ReadUnsigned(in);
  ExpectTag(in, "</size>");
  path_ = ReadStringElement(in, "path");
  error = ReadStringElement(in, "error");
  html = ReadStringElement(in, "html");
  ipl = ReadStringElement(in, "ipl");
  indexphoto = ReadStringElement(in, "indexphoto");
  indexphotoParts.clear();
  std::string next = ReadTag(in);
  if (next == "<indexphoto_parts>") {
    while ((next = ReadTag(in)) == "<path>") {
      indexphotoParts.push_back(ReadTextValue(in));
      ExpectTag(in, "</path>");
    }
    if (next != "</indexphoto_parts>")
      throw TagFormatError(FillIn(Translate("ProjectFile", "Missing %1"), {"</indexphoto_parts>"}));
    next = ReadTag(in);
  }
  if (next != "<image_list>")
    throw TagFormatError(
        FillIn(Translate("ProjectFile", "Format error : missing %1"), {"<image_list>"}));
  ExpectTag(in, "<width>");
  videoFormat.biWidth = AtoI(ReadText(in));
  ExpectTag(in, "</width>");
  ExpectTag(in, "<height>");
  videoFormat.biHeight = AtoI(ReadText(in));
  ExpectTag(in, "</height>");
  std::string tag;
  while ((tag = ReadTag(in)) == "<image>") {
    ImageEntry entry;
    const std::string text = ReadTextValue(in);
    if (!text.empty()) {
      entry.path = text;  // the old form: the path stands directly inside <image>
    } else {
      entry.path = ReadStringElement(in, "path");
      ExpectTag(in, "<frame>");
      entry.frame = static_cast<uint32_t>(AtoI(ReadText(in)));
      ExpectTag(in, "</frame>");
      ExpectTag(in, "<time>");
      entry.time = AtoF(ReadText(in));
      ExpectTag(in, "</time>");
    }
    images.push_back(std::move(entry));
    ExpectTag(in, "</image>");
  }
  if (tag != "</image_list>")
    throw TagFormatError(FillIn(Translate("ProjectFile", "Missing %1"), {"</image_list>"}));
  ExpectTag(in, "</movie>");
}

}  // namespace ombrelo
