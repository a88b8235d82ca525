#include "project/capture_settings_xml.h"

#include "project/tag_reader.h"

namespace ombrelo {
namespace {

std::string Element(const char* name, const std::string& value) {
  return std::string("<") + name + ">" + value + "</" + name + ">";
}

std::string Int(int32_t value) { return std::to_string(value); }
std::string Bool(bool value) { return value ? "1" : "0"; }

template <typename ReadValue>
void ReadElement(std::istream& in, const char* name, ReadValue read) {
  ExpectTag(in, std::string("<") + name + ">");
  read();
  ExpectTag(in, std::string("</") + name + ">");
}

// Whether the next tag is `tag`; the stream stays where it was.
bool NextTagIs(std::istream& in, const std::string& tag) {
  const std::istream::pos_type at = in.tellg();
  if (at == std::istream::pos_type(-1)) return false;
  const bool is = ReadTag(in) == tag;
  in.clear();
  in.seekg(at);
  return is;
}

}  // namespace

std::string CaptureSettingsToXml(const CaptureSettings& s) {
  std::string xml;
  xml += Element("samplestart", Int(s.samplestart));
  xml += Element("sampleperiod", Int(s.sampleperiod));
  xml += Element("delaybeforefirst", FormatG(s.delaybeforefirst));
  xml += Element("delaybetweensamples", FormatG(s.delaybetweensamples));
  xml += Element("leastnofframes", Int(s.leastnofframes));
  xml += Element("jpegquality", Int(s.jpegquality));
  xml += Element("contactsheetminwidth", Int(s.contactsheetminwidth));
  xml += Element("contactsheetminheight", Int(s.contactsheetminheight));
  xml += Element("namebyframe", Bool(s.namebyframe));
  xml += Element("notimetag", Bool(s.notimetag));
  xml += Element("imageformat", Int(s.imageformat));
  xml += Element("sampleduration", FormatG(s.sampleduration));
  // Written only when off, so that files with the usual settings stay as
  // older versions wrote and read them.
  if (!s.deinterlace) xml += Element("deinterlace", Bool(s.deinterlace));
  return xml;
}

void ReadCaptureSettingsXml(std::istream& in, CaptureSettings& s) {
  // Values that cannot be honoured are brought into range; the fields read
  // before a format error are, too.
  try {
    ReadElement(in, "samplestart", [&] { s.samplestart = ReadInt(in); });
    ReadElement(in, "sampleperiod", [&] { s.sampleperiod = ReadInt(in); });
    ReadElement(in, "delaybeforefirst", [&] { s.delaybeforefirst = ReadDouble(in); });
    ReadElement(in, "delaybetweensamples", [&] { s.delaybetweensamples = ReadDouble(in); });
    ReadElement(in, "leastnofframes", [&] { s.leastnofframes = ReadInt(in); });
    ReadElement(in, "jpegquality", [&] { s.jpegquality = ReadInt(in); });
    ReadElement(in, "contactsheetminwidth", [&] { s.contactsheetminwidth = ReadInt(in); });
    ReadElement(in, "contactsheetminheight", [&] { s.contactsheetminheight = ReadInt(in); });
    ReadElement(in, "namebyframe", [&] { s.namebyframe = ReadInt(in) != 0; });
    ReadElement(in, "notimetag", [&] { s.notimetag = ReadInt(in) != 0; });
    ReadElement(in, "imageformat", [&] { s.imageformat = ReadInt(in); });
    ReadElement(in, "sampleduration", [&] { s.sampleduration = ReadDouble(in); });
    s.deinterlace = true;
    if (NextTagIs(in, "<deinterlace>"))
      ReadElement(in, "deinterlace", [&] { s.deinterlace = ReadInt(in) != 0; });
  } catch (...) {
    s = ClampToRanges(s);
    throw;
  }
  s = ClampToRanges(s);
}

}  // namespace ombrelo
