#include "app/page_generation.h"

#include "project/movie.h"
#include "project/project.h"
#include "project/template_data.h"
#include "render/xslt_service.h"

namespace ombrelo {

namespace {

class XsltService : public PageGeneration {
 public:
  bool GeneratePage(const CProject& project, int32_t movieId, const std::string& outputPath,
                    const std::string& stylesheet) override {
    // As GeneratePageForMovie does for the process's project, for the
    // project the controller runs on (WritePage makes the folders).
    const Movie* movie = project.FindMovie(movieId);
    if (!movie) return false;
    const std::string xml =
        MovieDocument(*movie, outputPath, project.Output().EffectiveImageScale());
    return WritePage(outputPath, stylesheet, xml);
  }
  void CopyCompanionFolder(const std::string& stylesheet,
                           const std::string& destinationFolder) override {
    ombrelo::CopyCompanionFolder(stylesheet, destinationFolder);
  }
  void SetStopHandler(std::function<void()> stop) override {
    SetStopIndexingHandler(std::move(stop));
  }
};

}  // namespace

PageGeneration& XsltPageGeneration() {
  static XsltService service;
  return service;
}

}  // namespace ombrelo
