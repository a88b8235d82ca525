#pragma once
// Every HTML output of the program (web page, index photo page, project
// report) comes from an XSLT 1.0 stylesheet run over the template data of a
// movie or a project. Stylesheets are named by their path relative to the
// application data folder, e.g. "templates/web/gallery.xslt".
//
// Templates are files of the installation and may contain anything: they run
// without the right to write files, create folders or use the network.
#include <cstdint>
#include <optional>
#include <string>

#include "project/user_message.h"

namespace ombrelo {

// Why a page was not made. text is what the user is told (caption "Error");
// a transformation that failed has its details in the debug output and
// tells nothing.
struct PageFailure {
  enum class Kind {
    none,
    dataNotLoaded,        // the XML text could not be loaded (no owner, no icon)
    stylesheetNotLoaded,  // the stylesheet could not be loaded (no owner, no icon)
    transformFailed,      // debug output only
    notWritten,           // the file could not be written (error icon)
  };
  Kind kind = Kind::none;
  // The message's text; for a failed transformation the reason (the first
  // error reported, or the parse error's line and reason).
  std::string text;
  int systemError = 0;  // notWritten: the error number of the write
};

// The message box the program shows for a failure, if it shows one: caption
// "Error", the failure's text; a file that could not be written has the
// error icon and the given owner, data or a stylesheet that could not be
// loaded no icon and no owner. Nothing for a failed transformation.
std::optional<Message> FailureMessage(const PageFailure& failure, MessageOwner owner);

// Applies the stylesheet to the XML text. On success result holds the
// output, encoded as the stylesheet's xsl:output declares, and true is
// returned; on failure result is left as it was and failure (when given)
// says why. Shows nothing, and may run on any thread: transformations run
// one at a time in the process (the libraries' error handlers are
// process-wide). A failed transformation leaves its details in the debug
// output (the parse error with line and reason, followed by the XML text).
//
// Failure texts:
//   "Failed to load xml document for html generation"
//   "Failed to load xslt document for html generation"
// Debug texts:
//   "Error during xslt transform. line=%d : %s", "\n", the XML text
//   "Error durint xslt transform\n"
//   "Exception during html generation\n"
//
// The stylesheet must lie in one of the template folders ("templates/web/",
// "templates/index/", "report/"); any other ("templates/web/../../x.xslt")
// is refused with the debug line "Template outside the template folders
// refused: " and the name, and fails as a missing stylesheet does. While it
// runs, the stylesheet may read (xsl:import, xsl:include, document()) only
// below its own folder and the movie's outputs that the data names by
// absolute paths (MakePage also by paths relative to the page); other
// local files are refused with the debug line "Template read refused:
// <path>: <why>" and the transformation goes on without them. Every file
// read must be a regular file of bounded size. Network reads are refused
// and fail the transformation.
bool Transform(std::string* result, const std::string& xml, const std::string& stylesheet,
               PageFailure* failure = nullptr);

// Transform for the project report (a TemplateTransform): failure receives
// the text of the message to show, "" when there is none.
bool TransformForReport(std::string* result, const std::string& xml, const std::string& stylesheet,
                        std::string* failure);

class CProject;

// Makes pages for the movies of one project.
class XsltService {
 public:
  explicit XsltService(const CProject& project);

  // Builds the template data of the movie with that id (paths relative to
  // outputPath, the project's image scale) and writes the page made from
  // it with the stylesheet, as MakePage does. An unknown id writes nothing
  // (false, failure untouched).
  bool GeneratePageForMovie(const std::string& outputPath, const std::string& stylesheet,
                            int32_t movieId, PageFailure* failure) const;

  // The template data of the movie for a page at outputPath; nothing for an
  // unknown id. On the project's thread.
  std::optional<std::string> MovieData(const std::string& outputPath, int32_t movieId) const;
  // Transforms the XML text with the stylesheet and writes the result to
  // outputPath, creating its missing folders first. The file is written only
  // after the transformation has succeeded, and replaced as a whole (never
  // left half-written). Shows nothing: the failure goes to failure (a file
  // that cannot be written: "Failed to open html file (%s) for writing,
  // error : %d"). Any thread. What the page may load when it is drawn (its
  // own folder, its template's folder, the movie's outputs) is remembered
  // for it (PageScope in render/read_scope.h).
  static bool MakePage(const std::string& outputPath, const std::string& stylesheet,
                       const std::string& xml, PageFailure* failure);

 private:
  const CProject& project_;
};

// Copies the companion folder of a template (the stylesheet path up to its
// last "." followed by "/", below the application data folder; for
// "templates/web/gallery.xslt" that is "templates/web/gallery/") into
// destinationFolder, normally the folder of the page just generated.
// Entries whose names start with "." are skipped; files replace files of the
// same name; folders are created and copied the same way. Links, FIFOs,
// devices and files over 64 MB are not copied (debug line "Template file
// not copied: <path>: <why>"). A template
// without a companion folder copies nothing. Returns false when something
// could not be copied (each failure is written to the debug output, and the
// first one, "'<path>' - <system's reason>", to failure when given). A file
// is replaced only once its copy is complete.
bool CopyCompanionFolder(const std::string& stylesheet, const std::string& destinationFolder,
                         std::string* failure = nullptr);

}  // namespace ombrelo
