#include "app/page_generation.h"

#include "render/xslt_service.h"

namespace ombrelo {

bool XsltPageGeneration::GeneratePage(const CProject& project, int32_t movieId,
                                      const std::string& outputPath,
                                      const std::string& stylesheet) {
  return XsltService(project, stop_).GeneratePageForMovie(outputPath, stylesheet, movieId);
}

void XsltPageGeneration::CopyCompanionFolder(const std::string& stylesheet,
                                             const std::string& destinationFolder) {
  ombrelo::CopyCompanionFolder(stylesheet, destinationFolder);
}

}  // namespace ombrelo
