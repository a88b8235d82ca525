#pragma once
// The web page and index photo templates as the command line names them.
#include <string>

namespace ombrelo::indexer {

// The templates of the application data folder with their titles, web page
// templates first, one per line ("  gallery.xslt  Gallery").
std::string TemplateListText();

// The template file of a kind that the name given on the command line
// means: the file name itself or the name without ".xslt". False with a
// message listing the templates there are when there is none of that name.
// web: the web page templates, else the index photo templates.
bool FindTemplate(bool web, const std::string& asked, std::string* name, std::string* error);

}  // namespace ombrelo::indexer
