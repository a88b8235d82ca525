#pragma once
// Every HTML output of the program (web page, index photo page, project
// report) comes from an XSLT 1.0 stylesheet run over the template data of a
// movie or a project. Stylesheets are named by their path relative to the
// application data folder, e.g. "templates/web/gallery.xslt".
//
// Templates are files of the installation and may contain anything: they run
// without the right to write files, create folders or use the network.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "project/message_port.h"

namespace ombrelo {

// Applies the stylesheet to the XML text. On success result holds the
// output, encoded as the stylesheet's xsl:output declares, and true is
// returned; on failure result is left as it was. Failures are reported with
// the texts below; a failed transformation leaves its details in the debug
// output (the parse error with line and reason, followed by the XML text).
//
// Message boxes (through the message port, caption "Error", no owner):
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
bool Transform(std::string* result, const std::string& xml, const std::string& stylesheet);

// Why a page was not made. text is the message box's (caption "Error"); a
// transformation that failed has its details in the debug output and shows
// nothing.
struct PageFailure {
  enum class Kind {
    none,
    dataNotLoaded,        // the XML text could not be loaded (no owner, no icon)
    stylesheetNotLoaded,  // the stylesheet could not be loaded (no owner, no icon)
    transformFailed,      // debug output only
    notWritten,           // the file could not be written (error icon)
  };
  Kind kind = Kind::none;
  // The message box's text; for a failed transformation the reason (the
  // first error reported, or the parse error's line and reason).
  std::string text;
  int systemError = 0;  // notWritten: the error number of the write
};

// Transform without message boxes, for any thread: the failure, if any, goes
// to failure instead. Transformations run one at a time in the process (the
// libraries' error handlers are process-wide).
bool TransformQuietly(std::string* result, const std::string& xml, const std::string& stylesheet,
                      PageFailure* failure);

class CProject;

// What happens when a page cannot be written: the message box's owner, and
// whether the service's stop action runs first. The indexing run writes its
// pages with the defaults; the review window's regeneration neither stops
// the run nor speaks for the main window.
struct PageWriteFailure {
  MessageOwner owner = MessageOwner::mainWindow;
  bool stopIndexing = true;
};

// Writes pages for the movies of one project. Its owner hands it the project
// and the action that stops the running indexing (may be empty).
class XsltService {
 public:
  XsltService(const CProject& project, std::function<void()> stopIndexing);

  // Builds the template data of the movie with that id (paths relative to
  // outputPath, the project's image scale) and writes the page made from
  // it with the stylesheet, as WritePage does. An unknown id writes nothing
  // (false).
  bool GeneratePageForMovie(const std::string& outputPath, const std::string& stylesheet,
                            int32_t movieId, const PageWriteFailure& failure = {}) const;

  // Transforms the XML text with the stylesheet and writes the result to
  // outputPath, creating its missing folders first. The file is written only
  // after the transformation has succeeded, and replaced as a whole (never
  // left half-written). A file that cannot be written runs the stop action
  // (unless failure says otherwise) and shows "Failed to open html file (%s)
  // for writing, error : %d" (caption "Error", error icon, owner as failure
  // says).
  bool WritePage(const std::string& outputPath, const std::string& stylesheet,
                 const std::string& xml, const PageWriteFailure& failure = {}) const;

  // WritePage in two halves, for writing on another thread.
  // The template data of the movie for a page at outputPath; nothing for an
  // unknown id. On the project's thread.
  std::optional<std::string> MovieData(const std::string& outputPath, int32_t movieId) const;
  // Makes the page as WritePage does, but shows nothing and stops nothing:
  // the failure goes to failure. Any thread. What the page may load when it
  // is drawn (its own folder, its template's folder, the movie's outputs) is
  // remembered for it (PageScope in render/read_scope.h).
  static bool MakePage(const std::string& outputPath, const std::string& stylesheet,
                       const std::string& xml, PageFailure* failure);
  // Shows a failure of MakePage as WritePage would have, with the stop
  // action first for a file that could not be written (unless how says
  // otherwise). On the owner's thread.
  void Report(const PageFailure& failure, const PageWriteFailure& how = {}) const;

 private:
  const CProject& project_;
  std::function<void()> stopIndexing_;
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
