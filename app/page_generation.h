#pragma once
// The page steps the workflow controller takes through the XSLT service:
// the web page of a movie, the companion files of a template, and the page
// the index photo is drawn from. Kept behind one small interface so that
// the controller names the steps and the service stays the one place that
// runs templates.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace ombrelo {

class CProject;

class PageGeneration {
 public:
  virtual ~PageGeneration() = default;
  // Writes the page of the project's movie with that id to outputPath with
  // the stylesheet (a path relative to the application data folder, such as
  // "templates/web/gallery.xslt"), from the movie's template data with the
  // project's image scale. False when the page could not be made; the
  // failure has been reported.
  virtual bool GeneratePage(const CProject& project, int32_t movieId, const std::string& outputPath,
                            const std::string& stylesheet) = 0;
  // Copies the template's companion folder into destinationFolder.
  virtual void CopyCompanionFolder(const std::string& stylesheet,
                                   const std::string& destinationFolder) = 0;
  // The action the service takes before it reports a page that cannot be
  // written (stopping a running capture); empty removes it.
  virtual void SetStopHandler(std::function<void()> stop) = 0;
};

// The XSLT service of the render library. Made once by the program (or a
// test) and handed to the controller, which gives it its stop action.
class XsltPageGeneration : public PageGeneration {
 public:
  bool GeneratePage(const CProject& project, int32_t movieId, const std::string& outputPath,
                    const std::string& stylesheet) override;
  void CopyCompanionFolder(const std::string& stylesheet,
                           const std::string& destinationFolder) override;
  void SetStopHandler(std::function<void()> stop) override { stop_ = std::move(stop); }

 private:
  std::function<void()> stop_;
};

}  // namespace ombrelo
