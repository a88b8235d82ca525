#pragma once
// The workflow controller's tests start from here: a project whose outputs
// go to folders of the test's own, temporary pages in that folder, the real
// engine and page generation, and a recorder of what the controller
// publishes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>

#include "engine/capture_engine.h"
#include "platform/data_folder.h"
#include "project/project.h"
#include "workflow/page_generation.h"
#include "workflow/workflow_controller.h"
#include "workflow_test_support.h"

namespace ombrelo::testing {

class WorkflowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    // The shared video cache lives in the real temporary folder, outside this
    // test's folder, so it outlasts the test.
    TestVideos::Get();
    // Temporary pages of this test only.
    previousTmp_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", (folder_ / "").c_str(), 1);
    SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
    project_ = std::make_unique<CProject>(folder_.Path());
    out_ = folder_ / "out/";
    project_->SetThumbsFolder(out_ + "Thumbs");
    project_->SetIplFolder(out_ + "Ipl");
    project_->SetHtmlFolder(out_ + "Html");
    project_->SetIndexphotoFolder(out_ + "Index");
    project_->SetThumbsUseFolder(true);
    project_->SetIplUseFolder(true);
    project_->SetHtmlUseFolder(true);
    project_->SetIndexphotoUseFolder(true);
    // Frames 25, 75, 125, 175 and 225 of a 250-frame video.
    project_->UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 1.0; });
    project_->UpdateCapture([&](CaptureSettings& c) { c.delaybetweensamples = 2.0; });
  }
  void TearDown() override {
    controller_.reset();
    if (previousTmp_.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", previousTmp_.c_str(), 1);
    }
  }

  WorkflowController& Controller() {
    if (!controller_) {
      controller_ = std::make_unique<WorkflowController>(*project_, engine_, pages_,
                                                         WorkflowPreferences{firstRun_});
      seen_.Listen(*controller_);
    }
    return *controller_;
  }

  const Movie& MovieAt(size_t index) {
    auto it = project_->Movies().begin();
    std::advance(it, index);
    return *it;
  }
  int32_t Add(const std::string& path) {
    project_->AddMovie(path);
    return project_->Movies().back().id();
  }
  bool RunToTheEnd() {
    const int before = seen_.runsFinished;
    return RunUntil([&] { return seen_.runsFinished > before; });
  }

  bool firstRun_ = false;  // for the controller made next
  TempFolder folder_{"workflow"};
  std::string out_;
  RunRecorder seen_;
  XsltPageGeneration pages_;
  CaptureEngine engine_;
  std::unique_ptr<CProject> project_;
  std::unique_ptr<WorkflowController> controller_;

 private:
  std::string previousTmp_;
};

}  // namespace ombrelo::testing
