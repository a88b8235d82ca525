#include "project/output_settings.h"

#include "engine/capture_settings.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/translate.h"
#include "project/tag_reader.h"

namespace ombrelo {
namespace {

std::string Element(const char* name, const std::string& value) {
  return std::string("<") + name + ">" + value + "</" + name + ">";
}

std::string Flag(bool value) { return value ? "1" : "0"; }

std::string Open(const char* name) { return std::string("<") + name + ">"; }
std::string Close(const char* name) { return std::string("</") + name + ">"; }

// A boolean accepts 0 or 1, like a stream reading into a bool: anything
// else leaves the stream failed, so the closing tag is reported missing.
bool ReadFlagElement(std::istream& in, const char* name) {
  ExpectTag(in, Open(name));
  const int32_t value = ReadInt(in);
  if (value != 0 && value != 1)
    throw TagFormatError(
        FillIn(Translate("ProjectFile", "Format error : missing %1"), {Close(name)}));
  ExpectTag(in, Close(name));
  return value == 1;
}

std::string ReadStringElement(std::istream& in, const char* name) {
  ExpectTag(in, Open(name));
  std::string value = ReadTextValue(in);
  ExpectTag(in, Close(name));
  return value;
}

}  // namespace

std::string NormaliseFolder(const std::string& folder) {
  return paths::WithTrailingSeparator(folder);
}

OutputSettings::OutputSettings(const std::string& defaultBaseFolder) {
  const std::string base = paths::WithTrailingSeparator(defaultBaseFolder);
  thumbsFolder = base + "Thumbs" + paths::kSeparator;
  iplFolder = base + "Ipl" + paths::kSeparator;
  htmlFolder = base + "Html" + paths::kSeparator;
  indexphotoFolder = base + "Index" + paths::kSeparator;
}

float OutputSettings::EffectiveImageScale() const {
  const SettingRange& range = RangeOf(NumericSetting::imagescale);
  return range.Contains(imagescale) ? imagescale : static_cast<float>(range.fallback);
}

std::string OutputSettings::ToXml() const {
  std::string xml = "<settings>";
  xml += Element("imagescale", FormatG(imagescale));
  xml += "<ipl>";
  xml += Element("enabled", Flag(iplEnabled));
  xml += Element("usefolder", Flag(iplUseFolder));
  xml += Element("folder", TextValue(iplFolder));
  xml += "</ipl><html>";
  xml += Element("enabled", Flag(htmlEnabled));
  xml += Element("usefolder", Flag(htmlUseFolder));
  xml += Element("folder", TextValue(htmlFolder));
  xml += Element("transform", TextValue(htmlTransform));
  xml += "</html><thumbs>";
  xml += Element("enabled", Flag(thumbsEnabled));
  xml += Element("usefolder", Flag(thumbsUseFolder));
  xml += Element("folder", TextValue(thumbsFolder));
  xml += "</thumbs><indexphoto>";
  xml += Element("enabled", Flag(indexphotoEnabled));
  xml += Element("usefolder", Flag(indexphotoUseFolder));
  xml += Element("folder", TextValue(indexphotoFolder));
  xml += Element("transform", TextValue(indexphotoTransform));
  xml += "</indexphoto>";
  xml += Element("current_path", TextValue(current_path));
  xml += "<report>";
  xml += Element("transform", TextValue(reportTransform));
  xml += "</report></settings>";
  return xml;
}

void OutputSettings::ReadXml(std::istream& in) {
  ExpectTag(in, "<settings>");
  ExpectTag(in, "<imagescale>");
  imagescale = static_cast<float>(ReadDouble(in));
  // A factor that cannot be honoured (0, negative, too large, not a number)
  // is stored as the factor used in its place.
  imagescale = EffectiveImageScale();
  ExpectTag(in, "</imagescale>");

  ExpectTag(in, "<ipl>");
  iplEnabled = ReadFlagElement(in, "enabled");
  iplUseFolder = ReadFlagElement(in, "usefolder");
  iplFolder = ReadStringElement(in, "folder");
  ExpectTag(in, "</ipl>");

  ExpectTag(in, "<html>");
  htmlEnabled = ReadFlagElement(in, "enabled");
  htmlUseFolder = ReadFlagElement(in, "usefolder");
  htmlFolder = ReadStringElement(in, "folder");
  htmlTransform = ReadStringElement(in, "transform");
  ExpectTag(in, "</html>");

  ExpectTag(in, "<thumbs>");
  thumbsEnabled = ReadFlagElement(in, "enabled");
  thumbsUseFolder = ReadFlagElement(in, "usefolder");
  thumbsFolder = ReadStringElement(in, "folder");
  ExpectTag(in, "</thumbs>");

  ExpectTag(in, "<indexphoto>");
  indexphotoEnabled = ReadFlagElement(in, "enabled");
  indexphotoUseFolder = ReadFlagElement(in, "usefolder");
  indexphotoFolder = ReadStringElement(in, "folder");
  indexphotoTransform = ReadStringElement(in, "transform");
  ExpectTag(in, "</indexphoto>");

  // Files of the older form end here; the failed expectation consumes their
  // "</settings>".
  try {
    current_path = ReadStringElement(in, "current_path");
  } catch (const TagFormatError&) {
    DebugOutput("Loading old project file.");
    return;
  }
  ExpectTag(in, "<report>");
  reportTransform = ReadStringElement(in, "transform");
  ExpectTag(in, "</report>");
  ExpectTag(in, "</settings>");
}

}  // namespace ombrelo
