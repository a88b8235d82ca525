#include "render/template_catalogue.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/data_folder.h"
#include "platform/paths.h"
#include "platform/translate.h"

namespace ombrelo {
namespace {

constexpr std::string_view kExtension = ".xslt";

std::string WithoutExtension(const std::string& name) {
  return std::string(paths::WithoutExtension(name));
}

}  // namespace

std::string TemplateFolder(TemplateKind kind) {
  switch (kind) {
    case TemplateKind::kWeb:
      return "templates/web/";
    case TemplateKind::kIndex:
      return "templates/index/";
    case TemplateKind::kReport:
      return "report/";
  }
  return {};
}

std::string StylesheetPath(TemplateKind kind, const std::string& name) {
  return TemplateFolder(kind) + name;
}

TemplateList ListTemplates(TemplateKind kind, const std::string& currentName) {
  namespace fs = std::filesystem;
  TemplateList list;
  std::error_code ec;
  fs::directory_iterator it(ApplicationDataFolder() + TemplateFolder(kind), ec);
  if (ec) return list;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::error_code typeError;
    if (name.size() > kExtension.size() && name.ends_with(kExtension) &&
        it->is_regular_file(typeError)) {
      list.names.push_back(std::move(name));
    }
  }
  // Directory order differs between file systems; a sorted list keeps the
  // Prev/Next order of the settings page the same everywhere.
  std::sort(list.names.begin(), list.names.end());
  const auto found = std::find(list.names.begin(), list.names.end(), currentName);
  if (found != list.names.end()) list.selected = static_cast<int>(found - list.names.begin());
  return list;
}

TemplateCatalogue LoadTemplateCatalogue(const std::string& webName, const std::string& indexName,
                                        const std::string& reportName) {
  TemplateCatalogue catalogue;
  catalogue.web = ListTemplates(TemplateKind::kWeb, webName);
  catalogue.index = ListTemplates(TemplateKind::kIndex, indexName);
  catalogue.report = ListTemplates(TemplateKind::kReport, reportName);
  return catalogue;
}

std::string TemplatePreviewPath(TemplateKind kind, const std::string& name) {
  return ApplicationDataFolder() + TemplateFolder(kind) + WithoutExtension(name) + ".bmp";
}

std::string TemplateTitle(TemplateKind kind, const std::string& name) {
  // The head of the file is enough: the comment comes before the stylesheet.
  std::string head(4096, '\0');
  std::ifstream file(ApplicationDataFolder() + TemplateFolder(kind) + name, std::ios::binary);
  file.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(file.gcount()));
  const size_t open = head.find("<!--");
  const size_t close = open == std::string::npos ? open : head.find("-->", open);
  if (close != std::string::npos) {
    const size_t first = head.find('"', open);
    const size_t last = first < close ? head.find('"', first + 1) : std::string::npos;
    if (last < close && last > first + 1 && last - first <= 61) {
      const std::string title = head.substr(first + 1, last - first - 1);
      if (title.find_first_of("\r\n<>") == std::string::npos) return title;
    }
  }
  // The file name made readable: "index_transform.xslt" is "Index transform".
  std::string title = WithoutExtension(name);
  std::replace(title.begin(), title.end(), '_', ' ');
  std::replace(title.begin(), title.end(), '-', ' ');
  if (!title.empty())
    title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
  return title;
}

std::string IndexTemplateCaption(const std::string& name) {
  return FillIn(Translate("TemplateCatalogue", "Template: %1"),
                {TemplateTitle(TemplateKind::kIndex, name)});
}

std::string WebTemplateCaption(const std::string& name) {
  return FillIn(Translate("TemplateCatalogue", "Template: %1"),
                {TemplateTitle(TemplateKind::kWeb, name)});
}

}  // namespace ombrelo
