// Feeds arbitrary bytes to the project file reader, as a file (an anonymous
// in-memory one), the way a project, the settings file or the recovery file
// is read. What is checked besides crashes, leaks and time-outs:
// - a project that loads is written out and read back to the same text;
// - the template data made from it is well-formed XML (every name escaped)
//   and none of its relative paths reads as a URL scheme.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "project/project.h"
#include "project/template_data.h"

namespace {

// Loads the bytes through a file descriptor's name; false when they do not
// make a project.
bool LoadBytes(ombrelo::CProject& project, const uint8_t* data, size_t size) {
  const int fd = memfd_create("project", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  const bool loaded = project.Load("/proc/self/fd/" + std::to_string(fd));
  close(fd);
  return loaded;
}

// Looks at the template data: well-formed, and no value of the elements
// that templates put into links starts with a scheme.
void CheckTemplateData(const std::string& xml) {
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "data.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) std::abort();
  for (xmlNodePtr movie = xmlDocGetRootElement(doc)->children; movie; movie = movie->next) {
    for (xmlNodePtr field = movie->children; field; field = field->next) {
      const bool link = xmlStrEqual(field->name, BAD_CAST "html") ||
                        xmlStrEqual(field->name, BAD_CAST "ipl") ||
                        xmlStrEqual(field->name, BAD_CAST "indexphoto");
      if (!link) continue;
      xmlChar* value = xmlNodeGetContent(field);
      const std::string text = value ? reinterpret_cast<const char*>(value) : "";
      xmlFree(value);
      const size_t colon = text.find(':');
      if (colon != std::string::npos && text[0] != '/' && text.rfind("./", 0) != 0 &&
          text.find('/') > colon) {
        std::abort();
      }
    }
  }
  xmlFreeDoc(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using ombrelo::CProject;
  CProject project("/base/");
  if (!LoadBytes(project, data, size)) return 0;

  // Written and read again, the project gives the same text.
  const std::string text = project.FileText();
  CProject again("/base/");
  if (!LoadBytes(again, reinterpret_cast<const uint8_t*>(text.data()), text.size())) std::abort();
  if (again.FileText() != text) std::abort();

  CheckTemplateData(ombrelo::ProjectDocument(project, "/out/report.html"));
  return 0;
}
