#include "project/report.h"

#include <sys/stat.h>

#include <exception>
#include <string_view>

#include "platform/debug_output.h"
#include "project/file_write.h"
#include "project/movie.h"
#include "project/project.h"
#include "project/template_data.h"

namespace ombrelo {

namespace {

constexpr std::string_view kMovieEnd = "</movie>\n";

// A movie that was never opened (waiting, or failed at the start) knows no
// size of its own: the report gives the size of its file, when it has one.
uint32_t ReportedKilobytes(const Movie& movie) {
  if (movie.size != 0) return movie.size;
  struct stat info {};
  if (::stat(movie.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return static_cast<uint32_t>(info.st_size / 1024);
}

// The text of a failed movie's errors without the line end after the last.
std::string FailureReason(const std::string& error) {
  const size_t end = error.find_last_not_of(" \t\r\n");
  return end == std::string::npos ? std::string() : error.substr(0, end + 1);
}

}  // namespace

ReportMovies CopyReportMovies(const CProject& project) {
  ReportMovies source;
  source.scale = project.Output().EffectiveImageScale();
  source.movies.assign(project.Movies().begin(), project.Movies().end());
  return source;
}

std::string ReportDocument(const CProject& project, const std::string& base) {
  return ReportDocument(CopyReportMovies(project), base);
}

std::string ReportDocument(const ReportMovies& source, const std::string& base) {
  const float scale = source.scale;
  std::string xml(kTemplateDataDeclaration);
  xml += "<project>\n";
  for (const Movie& original : source.movies) {
    Movie movie(original);
    movie.SetSize(ReportedKilobytes(original));
    std::string element = MovieElement(movie, base, scale);
    if (movie.status == kMovieFailed && element.size() >= kMovieEnd.size() &&
        std::string_view(element).substr(element.size() - kMovieEnd.size()) == kMovieEnd) {
      element.insert(element.size() - kMovieEnd.size(),
                     "<failed>" + XmlEscape(FailureReason(movie.error)) + "</failed>\n");
    }
    xml += element;
  }
  xml += "</project>\n";
  return xml;
}

ReportResult WriteProjectReport(const CProject& project, const std::string& path,
                                const TemplateTransform& transform, std::string* failure) {
  failure->clear();
  try {
    return WriteReportPage(ReportDocument(project, path),
                           "report/" + project.Output().reportTransform, path, transform, failure);
  } catch (const std::exception&) {
    DebugOutput("Failed to generate report");
    return ReportResult::kFailed;
  }
}

ReportResult WriteReportPage(const std::string& xml, const std::string& stylesheet,
                             const std::string& path, const TemplateTransform& transform,
                             std::string* failure) {
  failure->clear();
  try {
    std::string page;
    if (!transform(&page, xml, stylesheet, failure)) {
      return ReportResult::kTransformFailed;
    }
    if (const int error = WriteOutputFile(path, page); error != 0) {
      *failure = HtmlWriteFailureText(path, error);
      return ReportResult::kWriteFailed;
    }
    return ReportResult::kWritten;
  } catch (const std::exception&) {
    DebugOutput("Failed to generate report");
    return ReportResult::kFailed;
  }
}

}  // namespace ombrelo
