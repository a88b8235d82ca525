// Writes the project file fuzzer's seed corpus into the folder given on the
// command line: project files written by the program itself, with ordinary
// and hostile names and values (script-like names, "../" template names,
// markup and CDATA ends in values, non-ASCII and invalid bytes, extreme
// numbers), and the older forms the reader still accepts.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "project/project.h"

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ombrelo;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  int written = 0;
  auto seed = [&](const std::string& name, const std::string& bytes) {
    if (!WriteFile(folder + name, bytes)) {
      std::fprintf(stderr, "cannot write %s%s\n", folder.c_str(), name.c_str());
      std::exit(1);
    }
    ++written;
  };

  CProject settings("/base/");
  seed("settings.obx", settings.FileText(false));

  CProject project("/home/anna/");
  project.SetHtmlTransform("../../../tmp/evil.xslt");
  project.SetReportTransform("..");
  const char* const videos[] = {
      "/v/javascript:alert(1).mp4", "/v/Tom & Jerry <b> ]]> \xC3\xA9t\xC3\xA9.avi",
      "/v/bad \xFF\xFE bytes.avi", "relative:name.avi", "/v/#1 100% ?.mkv"};
  for (const char* path : videos) {
    project.UpdateMovie(project.AddMovie(path), [path](Movie& movie) {
      movie.status = kMovieDone;
      movie.SetLength(1e300);
      movie.SetSize(4294967295u);
      movie.html = std::string(path) + ".html";
      movie.ipl = "javascript:alert(2).ipl";
      movie.indexphoto = "";
      movie.SetError("warn <x> & ]]> co\n");
      movie.AddImage({std::string(path) + "_0h00m05.000s.jpg", 125, 5.0});
      movie.AddImage({"", 4294967295u, -1.0});
    });
  }
  const std::string full = project.FileText();
  seed("project.obx", full);

  // The older forms: no declaration, and render settings cut short.
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>";
  seed("no_declaration.obx", full.substr(declaration.size()));
  const size_t rendering = full.find("<rendering>");
  seed("old_rendering.obx",
       full.substr(0, full.find("<jpegquality>", rendering)) + "</rendering></obxproject>");
  // Bare line feeds instead of carriage return and line feed.
  std::string bare;
  for (char c : full) {
    if (c != '\r') bare += c;
  }
  seed("bare_lf.obx", bare);
  std::printf("%d seeds written to %s\n", written, folder.c_str());
  return 0;
}
