#pragma once
// The templates the user can choose from: the ".xslt" files of the three
// template folders below the application data folder, their preview
// pictures and the captions shown with them.
#include <string>
#include <vector>

namespace ombrelo {

enum class TemplateKind { kWeb, kIndex, kReport };

// The folder of a kind, relative to the application data folder:
// "templates/web/", "templates/index/" or "report/".
std::string TemplateFolder(TemplateKind kind);

// The stylesheet path handed to the XSLT service: folder of the kind + name.
std::string StylesheetPath(TemplateKind kind, const std::string& name);

// The template file names of one kind and the position of the current one.
struct TemplateList {
  std::vector<std::string> names;  // bare file names, sorted byte-wise
  int selected = 0;                // 0 when the current name is not listed
};

// Lists the regular files ending in ".xslt" in the folder of the kind; the
// selected position is that of the entry equal to currentName (exact,
// case-sensitive). A missing or empty folder gives an empty list.
TemplateList ListTemplates(TemplateKind kind, const std::string& currentName);

// The three lists, rebuilt from the disk on every call.
struct TemplateCatalogue {
  TemplateList web;
  TemplateList index;
  TemplateList report;
};
TemplateCatalogue LoadTemplateCatalogue(const std::string& webName, const std::string& indexName,
                                        const std::string& reportName);

// Full path of the preview picture of a web or index template: the template
// name up to and including its last "." followed by "bmp" (".bmp" is
// appended to a name without "."), in the folder of its kind.
std::string TemplatePreviewPath(TemplateKind kind, const std::string& name);

// A template's own title: the first text in double quotes in the comment
// that opens the file (<!-- Ombrelo web page: "Gallery". -->); without one,
// the file name without its extension, "_" and "-" as blanks and the first
// letter in capitals ("index_transform.xslt" is "Index transform").
std::string TemplateTitle(TemplateKind kind, const std::string& name);

// "Template: " + the title of the index or web template.
std::string IndexTemplateCaption(const std::string& name);
std::string WebTemplateCaption(const std::string& name);

}  // namespace ombrelo
