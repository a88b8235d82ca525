#include "app/indexer/template_choice.h"

#include <algorithm>

#include "platform/translate.h"
#include "render/template_catalogue.h"

namespace ombrelo::indexer {

namespace {

constexpr const char* kExtension = ".xslt";

TemplateKind KindOf(bool web) { return web ? TemplateKind::kWeb : TemplateKind::kIndex; }

std::string Listed(TemplateKind kind) {
  const std::vector<std::string> names = ListTemplates(kind, "").names;
  size_t width = 0;
  for (const std::string& name : names) width = std::max(width, name.size());
  std::string text;
  for (const std::string& name : names) {
    text +=
        "  " + name + std::string(width - name.size() + 2, ' ') + TemplateTitle(kind, name) + "\n";
  }
  return text.empty() ? "  " + Translate("Indexer", "(none)", "no templates") + "\n" : text;
}

}  // namespace

std::string TemplateListText() {
  return Translate("Indexer", "Web page templates (--html-template):") + "\n" +
         Listed(TemplateKind::kWeb) +
         Translate("Indexer", "Index photo templates (--index-template):") + "\n" +
         Listed(TemplateKind::kIndex);
}

bool FindTemplate(bool web, const std::string& asked, std::string* name, std::string* error) {
  const std::vector<std::string> names = ListTemplates(KindOf(web), "").names;
  for (const std::string& candidate : {asked, asked + kExtension}) {
    if (std::find(names.begin(), names.end(), candidate) != names.end()) {
      *name = candidate;
      return true;
    }
  }
  std::string there;
  for (size_t i = 0; i < names.size(); ++i) there += (i ? ", " : "") + names[i];
  if (names.empty()) there = Translate("Indexer", "none", "no templates");
  *error = FillIn(web ? Translate("Indexer", "no web page template '%1'; there are: %2")
                      : Translate("Indexer", "no index photo template '%1'; there are: %2"),
                  {asked, there});
  return false;
}

}  // namespace ombrelo::indexer
