#pragma once
// The project report: the template data of every movie of the project,
// transformed with the report template into one HTML file. The desktop asks
// for the file first and offers to open it afterwards; this is the part in
// between.
#include <functional>
#include <string>
#include <vector>

#include "project/movie.h"

#include "platform/translate.h"

namespace ombrelo {

class CProject;

// Applies a stylesheet (a path relative to the application data folder) to
// an XML text; true with the output in result on success. On failure,
// failure receives what to tell the user ("" when the details went to the
// debug output only). The program passes the XSLT service's Transform.
using TemplateTransform = std::function<bool(std::string* result, const std::string& xml,
                                             const std::string& stylesheet, std::string* failure)>;

enum class ReportResult {
  kWritten,          // the report file has been written
  kTransformFailed,  // the transformation failed (what to tell, if anything, in failure)
  kWriteFailed,      // the file could not be written (what to tell in failure)
  kFailed,           // something unexpected ("Failed to generate report" in the debug output)
};

// The project document of the report (the template data of every movie,
// paths relative to base, the report file) with what a report reader needs
// about movies that were not indexed: a movie never opened has the size of
// its file (0 when there is none), and a failed movie has a "failed"
// element after its settings, with its error texts as the reason.
std::string ReportDocument(const CProject& project, const std::string& base);

// The project's movies as the report needs them, copied on the project's
// thread, so that the document (which reads the files of never-opened
// videos) can be made on any thread.
struct ReportMovies {
  std::vector<Movie> movies;
  float scale = 1;  // the project's effective image scale
};
ReportMovies CopyReportMovies(const CProject& project);
std::string ReportDocument(const ReportMovies& source, const std::string& base);

// Builds the report document with the report file as base, transforms it
// with "report/" + the project's report template, and writes the result to
// path, replacing the file as a whole. Shows nothing: failure receives the
// text of the box the program shows (caption "Error"), such as "Failed to
// open html file (%s) for writing, error : %d" for a file that cannot be
// written, and stays empty when there is nothing to show.
ReportResult WriteProjectReport(const CProject& project, const std::string& path,
                                const TemplateTransform& transform, std::string* failure);

// WriteProjectReport's second half, which does not touch the project: the
// document (ReportDocument with path as base) transformed with stylesheet
// ("report/" + the report template) and written to path.
ReportResult WriteReportPage(const std::string& xml, const std::string& stylesheet,
                             const std::string& path, const TemplateTransform& transform,
                             std::string* failure);

// The question the desktop asks after a written report (Yes opens it); shown
// through TranslateKept("Report", ...).
inline constexpr char kReportSavedCaption[] = QT_TRANSLATE_NOOP("Report", "Html report saved");
inline constexpr char kReportSavedQuestion[] =
    QT_TRANSLATE_NOOP("Report", "Html report saved\n\nDo you want to view the report now?");

}  // namespace ombrelo
