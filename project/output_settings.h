#pragma once
// Which outputs are made for each indexed movie, where they go, which
// templates make the web page, the index photo and the report, and the scale
// of the frames in the index photo. Held by the project and saved in every
// project file as the "<settings>" element.
#include <istream>
#include <string>

namespace ombrelo {

struct OutputSettings {
  // Defaults, with the output folders below the given base folder
  // ("Thumbs/", "Ipl/", "Html/", "Index/"; a separator is added to the base
  // when it has none).
  explicit OutputSettings(const std::string& defaultBaseFolder = "");

  std::string htmlTransform = "gallery.xslt";
  std::string indexphotoTransform = "index_transform.xslt";
  std::string reportTransform = "report.xslt";
  std::string thumbsFolder;
  std::string iplFolder;
  std::string htmlFolder;
  std::string indexphotoFolder;
  bool indexphotoEnabled = true;
  bool htmlEnabled = true;
  bool iplEnabled = true;
  bool thumbsEnabled = true;  // false: thumbnails go to the temporary folder
  bool indexphotoUseFolder = false;
  bool htmlUseFolder = false;
  bool iplUseFolder = false;
  bool thumbsUseFolder = false;
  float imagescale = 0.5f;
  std::string current_path;  // folder last shown on the movie selection page

  // The factor the index photo applies: imagescale when it is above 0 and at
  // most 2.1, else 1.
  float EffectiveImageScale() const;

  // The "<settings>" element, one run of text without whitespace.
  std::string ToXml() const;

  // Reads a "<settings>" element into these settings; strings are stored as
  // read. An element of the older form (ending after "</indexphoto>") writes
  // "Loading old project file." to the debug output and returns after
  // consuming its "</settings>", leaving current_path and reportTransform
  // as they were. Other faults throw TagFormatError texts.
  void ReadXml(std::istream& in);

  bool operator==(const OutputSettings&) const = default;
};

// What the folder setters store: the text with a separator appended unless
// it is empty or already ends with one.
std::string NormaliseFolder(const std::string& folder);

}  // namespace ombrelo
