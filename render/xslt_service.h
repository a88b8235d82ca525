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
#include <string>

namespace ombrelo {

// Called before a page that cannot be written is reported: the program stops
// the running indexing there (the workflow controller installs it). Returns
// the previous handler.
using StopIndexingHandler = std::function<void()>;
StopIndexingHandler SetStopIndexingHandler(StopIndexingHandler handler);

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
bool Transform(std::string* result, const std::string& xml, const std::string& stylesheet);

// Builds the template data of the movie with that id (paths relative to
// outputPath, the open project's image scale) and writes the page made from
// it with the stylesheet, as WritePage does. An unknown id is reported by the
// project and writes nothing (false).
bool GeneratePageForMovie(const std::string& outputPath, const std::string& stylesheet,
                          int32_t movieId);

// Transforms the XML text with the stylesheet and writes the result to
// outputPath, creating its missing folders first. The file is written only
// after the transformation has succeeded, and replaced as a whole (never
// left half-written). A file that cannot be written stops the indexing and
// shows "Failed to open html file (%s) for writing, error : %d" (caption
// "Error", error icon, owned by the main window).
bool WritePage(const std::string& outputPath, const std::string& stylesheet,
               const std::string& xml);

// Copies the companion folder of a template (the stylesheet path up to its
// last "." followed by "/", below the application data folder; for
// "templates/web/gallery.xslt" that is "templates/web/gallery/") into
// destinationFolder, normally the folder of the page just generated.
// Entries whose names start with "." are skipped; files replace files of the
// same name; folders are created and copied the same way. A template
// without a companion folder copies nothing. Returns false when something
// could not be copied (each failure is written to the debug output).
bool CopyCompanionFolder(const std::string& stylesheet, const std::string& destinationFolder);

}  // namespace ombrelo
