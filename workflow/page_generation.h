#pragma once
// The page steps the workflow controller takes through the XSLT service:
// the web page of a movie, the companion files of a template, and the page
// the index photo is drawn from. Kept behind one small interface so that
// the controller names the steps and the service stays the one place that
// runs templates.
//
// A page is made in two steps so that the transformation can run off the
// owner's thread: the movie's data is taken from the project (owner's
// thread), and the page is made from it (any thread). A failure comes back
// to the caller, which tells the user (FailureMessage in
// render/xslt_service.h); nothing here shows anything.
#include <cstdint>
#include <optional>
#include <string>

#include "render/xslt_service.h"

namespace ombrelo {

class CProject;

class PageGeneration {
 public:
  virtual ~PageGeneration() = default;
  // The template data of the project's movie with that id for a page at
  // outputPath, with the project's image scale; nothing for an unknown id.
  virtual std::optional<std::string> MovieData(const CProject& project, int32_t movieId,
                                               const std::string& outputPath) = 0;
  // Writes the page made from the data with the stylesheet (a path relative
  // to the application data folder, such as "templates/web/gallery.xslt")
  // to outputPath. Shows nothing: a failure goes to failure. Any thread.
  virtual bool MakePage(const std::string& outputPath, const std::string& stylesheet,
                        const std::string& xml, PageFailure* failure) = 0;
  // Copies the template's companion folder into destinationFolder. Any
  // thread. False when something could not be copied; failure then holds
  // the file and the system's reason.
  virtual bool CopyCompanionFolder(const std::string& stylesheet,
                                   const std::string& destinationFolder,
                                   std::string* failure = nullptr) = 0;
};

// The XSLT service of the render library. Made once by the program (or a
// test) and handed to the controller and the regeneration.
class XsltPageGeneration : public PageGeneration {
 public:
  std::optional<std::string> MovieData(const CProject& project, int32_t movieId,
                                       const std::string& outputPath) override;
  bool MakePage(const std::string& outputPath, const std::string& stylesheet,
                const std::string& xml, PageFailure* failure) override;
  bool CopyCompanionFolder(const std::string& stylesheet, const std::string& destinationFolder,
                           std::string* failure = nullptr) override;
};

}  // namespace ombrelo
