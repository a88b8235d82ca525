#include "workflow/page_generation.h"

#include "project/project.h"

namespace ombrelo {

std::optional<std::string> XsltPageGeneration::MovieData(const CProject& project, int32_t movieId,
                                                         const std::string& outputPath) {
  // A movie removed while its pages were made is no internal error: the
  // caller hears of it by the empty result.
  if (!project.MovieById(movieId)) return std::nullopt;
  return XsltService(project).MovieData(outputPath, movieId);
}

bool XsltPageGeneration::MakePage(const std::string& outputPath, const std::string& stylesheet,
                                  const std::string& xml, PageFailure* failure) {
  return XsltService::MakePage(outputPath, stylesheet, xml, failure);
}

bool XsltPageGeneration::CopyCompanionFolder(const std::string& stylesheet,
                                             const std::string& destinationFolder,
                                             std::string* failure) {
  return ombrelo::CopyCompanionFolder(stylesheet, destinationFolder, failure);
}

}  // namespace ombrelo
