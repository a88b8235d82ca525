#pragma once
// The page steps the workflow controller takes through the XSLT service:
// the web page of a movie, the companion files of a template, and the page
// the index photo is drawn from. Kept behind one small interface so that
// the controller names the steps and the service stays the one place that
// runs templates.
//
// A page is made in three steps so that the transformation can run off the
// owner's thread: the movie's data is taken from the project (owner's
// thread), the page is made from it (any thread), and a failure is reported
// (owner's thread). GeneratePage takes all three at once.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

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
  // Shows a failure of MakePage; for a page that could not be written the
  // stop action runs first.
  virtual void Report(const CProject& project, const PageFailure& failure) = 0;
  // Copies the template's companion folder into destinationFolder. Any
  // thread. False when something could not be copied; failure then holds
  // the file and the system's reason.
  virtual bool CopyCompanionFolder(const std::string& stylesheet,
                                   const std::string& destinationFolder,
                                   std::string* failure = nullptr) = 0;
  // The action the service takes before it reports a page that cannot be
  // written (stopping a running capture); empty removes it.
  virtual void SetStopHandler(std::function<void()> stop) = 0;

  // The three steps at once, on the owner's thread. False when the page
  // could not be made; the failure has been reported.
  bool GeneratePage(const CProject& project, int32_t movieId, const std::string& outputPath,
                    const std::string& stylesheet);
};

// The XSLT service of the render library. Made once by the program (or a
// test) and handed to the controller, which gives it its stop action.
class XsltPageGeneration : public PageGeneration {
 public:
  std::optional<std::string> MovieData(const CProject& project, int32_t movieId,
                                       const std::string& outputPath) override;
  bool MakePage(const std::string& outputPath, const std::string& stylesheet,
                const std::string& xml, PageFailure* failure) override;
  void Report(const CProject& project, const PageFailure& failure) override;
  bool CopyCompanionFolder(const std::string& stylesheet, const std::string& destinationFolder,
                           std::string* failure = nullptr) override;
  void SetStopHandler(std::function<void()> stop) override { stop_ = std::move(stop); }

 private:
  std::function<void()> stop_;
};

}  // namespace ombrelo
